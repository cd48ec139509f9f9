// Login and logout.
#include "entrypoints.h"
#include "tokenlibrary.h"

namespace testtoken::api {

CK_RV C_Login(CK_SESSION_HANDLE hSession, CK_USER_TYPE userType, CK_UTF8CHAR_PTR pPin, CK_ULONG ulPinLen) {
    CallRecorder call("C_Login");
    call.value("hSession", hSession).value("userType", userType).given("pPin", pPin).value("ulPinLen", ulPinLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        const Session& session = state.sessions.find(hSession);
        const SessionCounts counts = state.sessions.counts(session.slotId);
        state.tokenOf(session).login(userType, PinInput(pPin, ulPinLen), counts.all > counts.readWrite);
        return CKR_OK;
    });
}

CK_RV C_Logout(CK_SESSION_HANDLE hSession) {
    return TokenLibrary::run(CallRecorder("C_Logout").value("hSession", hSession), [&](LibraryState& state) {
        state.tokenOf(state.sessions.find(hSession)).logout();
        return CKR_OK;
    });
}

}  // namespace testtoken::api
