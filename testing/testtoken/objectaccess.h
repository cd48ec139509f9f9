// A session's view of its token's objects, with the standard's access rules.
#ifndef TESTTOKEN_OBJECTACCESS_H
#define TESTTOKEN_OBJECTACCESS_H

#include "sessiontable.h"
#include "token.h"

#include <deque>

namespace testtoken {

// Private objects exist for a session only while the user is logged in; session
// objects are seen by every session of their token. Failures throw CryptokiError.
class ObjectAccess {
public:
    ObjectAccess(Token& token, Session& session, CK_SESSION_HANDLE handle) noexcept
        : token_(token), session_(session), handle_(handle) {}

    Session& session() noexcept { return session_; }

    // CKR_OBJECT_HANDLE_INVALID for an object the session cannot see.
    TokenObject& find(CK_OBJECT_HANDLE handle);
    // The key of a cryptographic operation: CKR_KEY_HANDLE_INVALID when there is no
    // such object, CKR_USER_NOT_LOGGED_IN for a private one without the user.
    const TokenObject& key(CK_OBJECT_HANDLE handle) const;
    const Token& token() const noexcept { return token_; }
    // The visible objects matching the filter, in creation order.
    std::deque<CK_OBJECT_HANDLE> search(const Attributes& filter) const;

    // A new object from a caller's template, checked as if it were being created:
    // CKR_TEMPLATE_INCOMPLETE without CKA_CLASS, then the rules of requireWritable,
    // and CKR_USER_NOT_LOGGED_IN for a private object without the user.
    TokenObject prepare(Attributes attributes) const;
    CK_OBJECT_HANDLE add(TokenObject object) { return token_.objects().add(std::move(object)); }
    CK_OBJECT_HANDLE nextHandle() const noexcept { return token_.objects().nextHandle(); }
    void destroy(CK_OBJECT_HANDLE handle);

    // Writing a token object needs a token that is not write protected
    // (CKR_TOKEN_WRITE_PROTECTED) and a read-write session (CKR_SESSION_READ_ONLY).
    void requireWritable(const TokenObject& object) const;

private:
    bool canSee(const TokenObject& object) const;

    Token& token_;
    Session& session_;
    CK_SESSION_HANDLE handle_;
};

}  // namespace testtoken

#endif
