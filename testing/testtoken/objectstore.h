// The objects of one token.
#ifndef TESTTOKEN_OBJECTSTORE_H
#define TESTTOKEN_OBJECTSTORE_H

#include "tokenobject.h"

#include <map>

namespace testtoken {

// Handles count up from 1 and are never reused, so handle order is creation order.
class ObjectStore {
public:
    using Objects = std::map<CK_OBJECT_HANDLE, TokenObject>;

    CK_OBJECT_HANDLE add(TokenObject object);
    // The handle the next object will get.
    CK_OBJECT_HANDLE nextHandle() const noexcept { return next_; }
    // Null when there is no such object.
    TokenObject* find(CK_OBJECT_HANDLE handle);
    void destroy(CK_OBJECT_HANDLE handle) { objects_.erase(handle); }
    // When a session closes, its session objects go; when all close, all do.
    void closeSession(CK_SESSION_HANDLE session);
    void closeAllSessions();
    // C_InitToken.
    void clear() noexcept { objects_.clear(); }

    const Objects& objects() const noexcept { return objects_; }

private:
    Objects objects_;
    CK_OBJECT_HANDLE next_ = 1;
};

}  // namespace testtoken

#endif
