#include "objectaccess.h"

#include "cryptokierror.h"

namespace testtoken {

TokenObject& ObjectAccess::find(CK_OBJECT_HANDLE handle) {
    TokenObject* const object = token_.objects().find(handle);
    if (object == nullptr || !canSee(*object)) {
        throw CryptokiError(CKR_OBJECT_HANDLE_INVALID);
    }
    return *object;
}

const TokenObject& ObjectAccess::key(CK_OBJECT_HANDLE handle) const {
    const TokenObject* const object = token_.objects().find(handle);
    if (object == nullptr) {
        throw CryptokiError(CKR_KEY_HANDLE_INVALID);
    }
    if (!canSee(*object)) {
        throw CryptokiError(CKR_USER_NOT_LOGGED_IN);
    }
    return *object;
}

std::deque<CK_OBJECT_HANDLE> ObjectAccess::search(const Attributes& filter) const {
    std::deque<CK_OBJECT_HANDLE> found;
    for (const auto& [handle, object] : token_.objects().objects()) {
        if (canSee(object) && object.matches(filter)) {
            found.push_back(handle);
        }
    }
    return found;
}

TokenObject ObjectAccess::prepare(Attributes attributes) const {
    if (!attributes.contains(CKA_CLASS)) {
        throw CryptokiError(CKR_TEMPLATE_INCOMPLETE);
    }
    TokenObject object(std::move(attributes), false, handle_);
    requireWritable(object);
    if (object.isPrivate() && token_.user() != CKU_USER) {
        throw CryptokiError(CKR_USER_NOT_LOGGED_IN);
    }
    return object;
}

void ObjectAccess::destroy(CK_OBJECT_HANDLE handle) {
    requireWritable(find(handle));
    token_.objects().destroy(handle);
}

void ObjectAccess::requireWritable(const TokenObject& object) const {
    if (!object.isTokenObject()) {
        return;
    }
    if (token_.writeProtected()) {
        throw CryptokiError(CKR_TOKEN_WRITE_PROTECTED);
    }
    if (!session_.readWrite()) {
        throw CryptokiError(CKR_SESSION_READ_ONLY);
    }
}

bool ObjectAccess::canSee(const TokenObject& object) const { return !object.isPrivate() || token_.user() == CKU_USER; }

}  // namespace testtoken
