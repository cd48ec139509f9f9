// Object search: one search per session at a time, delivering its handles in
// creation order.
#include "arguments.h"
#include "entrypoints.h"
#include "tokenlibrary.h"

namespace testtoken::api {

CK_RV C_FindObjectsInit(CK_SESSION_HANDLE hSession, CK_ATTRIBUTE_PTR pTemplate, CK_ULONG ulCount) {
    CallRecorder call("C_FindObjectsInit");
    call.value("hSession", hSession).attributes("pTemplate", pTemplate, "ulCount", ulCount);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        ObjectAccess objects = state.objectsOf(hSession);
        if (objects.session().search) {
            return CKR_OPERATION_ACTIVE;
        }
        // The matches are taken now; objects made later are not delivered.
        objects.session().search = objects.search(readTemplate(pTemplate, ulCount));
        return CKR_OK;
    });
}

CK_RV C_FindObjects(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE_PTR phObject, CK_ULONG ulMaxObjectCount,
                    CK_ULONG_PTR pulObjectCount) {
    CallRecorder call("C_FindObjects");
    call.value("hSession", hSession)
        .given("phObject", phObject)
        .value("ulMaxObjectCount", ulMaxObjectCount)
        .output("pulObjectCount", pulObjectCount);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        std::deque<CK_OBJECT_HANDLE>& left = state.sessions.find(hSession).activeSearch();
        CK_ULONG& count = required(pulObjectCount);
        if (phObject == nullptr && ulMaxObjectCount != 0) {
            return CKR_ARGUMENTS_BAD;
        }
        for (count = 0; count < ulMaxObjectCount && !left.empty(); left.pop_front()) {
            phObject[count++] = left.front();
        }
        return CKR_OK;
    });
}

CK_RV C_FindObjectsFinal(CK_SESSION_HANDLE hSession) {
    return TokenLibrary::run(CallRecorder("C_FindObjectsFinal").value("hSession", hSession), [&](LibraryState& state) {
        Session& session = state.sessions.find(hSession);
        session.activeSearch();
        session.search.reset();
        return CKR_OK;
    });
}

}  // namespace testtoken::api
