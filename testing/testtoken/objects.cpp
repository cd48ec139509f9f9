// Object management: creating, copying and destroying objects, their size, reading
// and changing their attributes.
#include "arguments.h"
#include "entrypoints.h"
#include "tokenlibrary.h"

#include <algorithm>

namespace testtoken::api {

namespace {

// One entry of C_GetAttributeValue: the value, its length (null pValue), or
// CK_UNAVAILABLE_INFORMATION with the reason it is not given.
CK_RV readAttribute(const TokenObject& object, CK_ATTRIBUTE& attribute) {
    const AttributeValue* value = object.find(attribute.type);
    CK_RV problem = CKR_OK;
    if (object.isSensitive(attribute.type)) {
        problem = CKR_ATTRIBUTE_SENSITIVE;
    } else if (value == nullptr) {
        problem = CKR_ATTRIBUTE_TYPE_INVALID;
    } else if (attribute.pValue != nullptr && attribute.ulValueLen < value->size()) {
        problem = CKR_BUFFER_TOO_SMALL;
    }
    if (problem != CKR_OK) {
        attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
        return problem;
    }
    if (attribute.pValue != nullptr) {
        std::copy(value->begin(), value->end(), static_cast<CK_BYTE*>(attribute.pValue));
    }
    attribute.ulValueLen = value->size();
    return CKR_OK;
}

}  // namespace

CK_RV C_CreateObject(CK_SESSION_HANDLE hSession, CK_ATTRIBUTE_PTR pTemplate, CK_ULONG ulCount,
                     CK_OBJECT_HANDLE_PTR phObject) {
    CallRecorder call("C_CreateObject");
    call.value("hSession", hSession).attributes("pTemplate", pTemplate, "ulCount", ulCount).output("phObject", phObject);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        ObjectAccess objects = state.objectsOf(hSession);
        CK_OBJECT_HANDLE& created = required(phObject);
        created = objects.add(objects.prepare(readTemplate(pTemplate, ulCount)));
        return CKR_OK;
    });
}

CK_RV C_CopyObject(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hObject, CK_ATTRIBUTE_PTR pTemplate, CK_ULONG ulCount,
                   CK_OBJECT_HANDLE_PTR phNewObject) {
    CallRecorder call("C_CopyObject");
    call.value("hSession", hSession)
        .value("hObject", hObject)
        .attributes("pTemplate", pTemplate, "ulCount", ulCount)
        .output("phNewObject", phNewObject);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        ObjectAccess objects = state.objectsOf(hSession);
        Attributes attributes = objects.find(hObject).attributes();
        CK_OBJECT_HANDLE& copy = required(phNewObject);
        for (auto& [type, value] : readTemplate(pTemplate, ulCount)) {
            if (type == CKA_CLASS && value != attributes.at(CKA_CLASS)) {
                return CKR_TEMPLATE_INCONSISTENT;
            }
            attributes.insert_or_assign(type, std::move(value));
        }
        copy = objects.add(objects.prepare(std::move(attributes)));
        return CKR_OK;
    });
}

CK_RV C_DestroyObject(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hObject) {
    CallRecorder call("C_DestroyObject");
    call.value("hSession", hSession).value("hObject", hObject);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        state.objectsOf(hSession).destroy(hObject);
        return CKR_OK;
    });
}

CK_RV C_GetObjectSize(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hObject, CK_ULONG_PTR pulSize) {
    CallRecorder call("C_GetObjectSize");
    call.value("hSession", hSession).value("hObject", hObject).output("pulSize", pulSize);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        const TokenObject& object = state.objectsOf(hSession).find(hObject);
        CK_ULONG& size = required(pulSize);
        size = 0;
        for (const auto& entry : object.attributes()) {
            size += entry.second.size();
        }
        return CKR_OK;
    });
}

CK_RV C_GetAttributeValue(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hObject, CK_ATTRIBUTE_PTR pTemplate,
                          CK_ULONG ulCount) {
    CallRecorder call("C_GetAttributeValue");
    call.value("hSession", hSession).value("hObject", hObject).attributes("pTemplate", pTemplate, "ulCount", ulCount);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        const TokenObject& object = state.objectsOf(hSession).find(hObject);
        if (pTemplate == nullptr && ulCount != 0) {
            return CKR_ARGUMENTS_BAD;
        }
        // Every entry is answered; the first problem met is the call's answer.
        CK_RV answer = CKR_OK;
        for (CK_ULONG i = 0; i < ulCount; ++i) {
            const CK_RV problem = readAttribute(object, pTemplate[i]);
            answer = answer == CKR_OK ? problem : answer;
        }
        return answer;
    });
}

CK_RV C_SetAttributeValue(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hObject, CK_ATTRIBUTE_PTR pTemplate,
                          CK_ULONG ulCount) {
    CallRecorder call("C_SetAttributeValue");
    call.value("hSession", hSession).value("hObject", hObject).attributes("pTemplate", pTemplate, "ulCount", ulCount);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        ObjectAccess objects = state.objectsOf(hSession);
        TokenObject& object = objects.find(hObject);
        objects.requireWritable(object);
        object.modify(readTemplate(pTemplate, ulCount));
        return CKR_OK;
    });
}

}  // namespace testtoken::api
