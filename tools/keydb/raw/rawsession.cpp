#include "raw/rawsession.h"

RawSession::RawSession(const RawCryptoki& cryptoki, CK_SLOT_ID slot, const ZEPBuffer& pin)
    : functions_(cryptoki.functions()) {
    RawCryptoki::check(functions_.C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &handle_),
                       "C_OpenSession");
    // The PIN is passed as it is and copied nowhere.
    const CK_RV login = functions_.C_Login(handle_, CKU_USER, const_cast<CK_UTF8CHAR*>(pin.getValue()),
                                           static_cast<CK_ULONG>(pin.getLength()));
    if (login == CKR_USER_ALREADY_LOGGED_IN) return;
    if (login != CKR_OK) {
        functions_.C_CloseSession(handle_);
        RawCryptoki::check(login, "C_Login");
    }
    loggedIn_ = true;
}

RawSession::~RawSession() {
    if (loggedIn_) functions_.C_Logout(handle_);
    functions_.C_CloseSession(handle_);
}
