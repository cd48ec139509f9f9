#include "objectstore.h"

namespace testtoken {

CK_OBJECT_HANDLE ObjectStore::add(TokenObject object) {
    const CK_OBJECT_HANDLE handle = next_++;
    objects_.emplace(handle, std::move(object));
    return handle;
}

TokenObject* ObjectStore::find(CK_OBJECT_HANDLE handle) {
    const auto found = objects_.find(handle);
    return found == objects_.end() ? nullptr : &found->second;
}

void ObjectStore::closeSession(CK_SESSION_HANDLE session) {
    std::erase_if(objects_, [session](const auto& entry) { return entry.second.owner() == session; });
}

void ObjectStore::closeAllSessions() {
    std::erase_if(objects_, [](const auto& entry) { return entry.second.owner().has_value(); });
}

}  // namespace testtoken
