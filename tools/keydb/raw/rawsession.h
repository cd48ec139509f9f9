// A read-only session of a Cryptoki library on one slot with the user
// logged in, opened and logged in on construction, closed when it goes.
// Login belongs to the whole application: when the user is logged in
// already the session uses that login and leaves it; a login this session
// made is ended with it, so it must outlive the other sessions that use it.
#ifndef KEYDB_RAWSESSION_H
#define KEYDB_RAWSESSION_H

#include "raw/rawcryptoki.h"
#include "zepbuffer.h"

class RawSession {
public:
    // Throws std::runtime_error when the session cannot be opened or the
    // PIN is refused.
    RawSession(const RawCryptoki& cryptoki, CK_SLOT_ID slot, const ZEPBuffer& pin);
    ~RawSession();
    RawSession(const RawSession&) = delete;
    RawSession& operator=(const RawSession&) = delete;

    CK_SESSION_HANDLE handle() const { return handle_; }
    const CK_FUNCTION_LIST& functions() const { return functions_; }

private:
    const CK_FUNCTION_LIST& functions_;
    CK_SESSION_HANDLE handle_ = 0;
    bool loggedIn_ = false;
};

#endif
