// Token initialisation and PIN management.
#include "arguments.h"
#include "entrypoints.h"
#include "tokenlibrary.h"

namespace testtoken::api {

CK_RV C_InitToken(CK_SLOT_ID slotID, CK_UTF8CHAR_PTR pPin, CK_ULONG ulPinLen, CK_UTF8CHAR_PTR pLabel) {
    CallRecorder call("C_InitToken");
    call.value("slotID", slotID).given("pPin", pPin).value("ulPinLen", ulPinLen).given("pLabel", pLabel);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        Token& token = state.slot(slotID).presentToken();
        const CK_UTF8CHAR& label = required(pLabel);
        if (state.sessions.counts(slotID).all != 0) {
            return CKR_SESSION_EXISTS;
        }
        token.initialize(PinInput(pPin, ulPinLen), &label);
        return CKR_OK;
    });
}

CK_RV C_InitPIN(CK_SESSION_HANDLE hSession, CK_UTF8CHAR_PTR pPin, CK_ULONG ulPinLen) {
    CallRecorder call("C_InitPIN");
    call.value("hSession", hSession).given("pPin", pPin).value("ulPinLen", ulPinLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        Token& token = state.tokenOf(state.sessions.find(hSession));
        // The SO is only ever logged in with read-write sessions.
        if (token.user() != CKU_SO) {
            return CKR_USER_NOT_LOGGED_IN;
        }
        token.initUserPin(PinInput(pPin, ulPinLen));
        return CKR_OK;
    });
}

CK_RV C_SetPIN(CK_SESSION_HANDLE hSession, CK_UTF8CHAR_PTR pOldPin, CK_ULONG ulOldLen, CK_UTF8CHAR_PTR pNewPin,
               CK_ULONG ulNewLen) {
    CallRecorder call("C_SetPIN");
    call.value("hSession", hSession)
        .given("pOldPin", pOldPin)
        .value("ulOldLen", ulOldLen)
        .given("pNewPin", pNewPin)
        .value("ulNewLen", ulNewLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        const Session& session = state.sessions.find(hSession);
        if (!session.readWrite()) {
            return CKR_SESSION_READ_ONLY;
        }
        state.tokenOf(session).changePin(PinInput(pOldPin, ulOldLen), PinInput(pNewPin, ulNewLen));
        return CKR_OK;
    });
}

}  // namespace testtoken::api
