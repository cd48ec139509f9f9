// Session management: opening, closing, session information, operation state.
#include "arguments.h"
#include "entrypoints.h"
#include "tokenlibrary.h"

namespace testtoken::api {

namespace {

CK_STATE sessionState(const Session& session, const Token& token) {
    const std::optional<CK_USER_TYPE> user = token.user();
    if (user == CKU_SO) {
        return CKS_RW_SO_FUNCTIONS;
    }
    if (user == CKU_USER) {
        return session.readWrite() ? CKS_RW_USER_FUNCTIONS : CKS_RO_USER_FUNCTIONS;
    }
    return session.readWrite() ? CKS_RW_PUBLIC_SESSION : CKS_RO_PUBLIC_SESSION;
}

}  // namespace

CK_RV C_OpenSession(CK_SLOT_ID slotID, CK_FLAGS flags, CK_VOID_PTR pApplication, CK_NOTIFY Notify,
                    CK_SESSION_HANDLE_PTR phSession) {
    CallRecorder call("C_OpenSession");
    call.value("slotID", slotID)
        .value("flags", flags)
        .given("pApplication", pApplication)
        .given("Notify", Notify)
        .output("phSession", phSession);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        const Token& token = state.slot(slotID).presentToken();
        if ((flags & CKF_SERIAL_SESSION) == 0) {
            return CKR_SESSION_PARALLEL_NOT_SUPPORTED;
        }
        CK_SESSION_HANDLE& handle = required(phSession);
        const bool readWrite = (flags & CKF_RW_SESSION) != 0;
        if (readWrite && token.writeProtected()) {
            return CKR_TOKEN_WRITE_PROTECTED;
        }
        if (!readWrite && token.user() == CKU_SO) {
            return CKR_SESSION_READ_WRITE_SO_EXISTS;
        }
        handle = state.sessions.open(slotID, flags);
        return CKR_OK;
    });
}

CK_RV C_CloseSession(CK_SESSION_HANDLE hSession) {
    return TokenLibrary::run(CallRecorder("C_CloseSession").value("hSession", hSession), [&](LibraryState& state) {
        state.closeSession(hSession);
        return CKR_OK;
    });
}

CK_RV C_CloseAllSessions(CK_SLOT_ID slotID) {
    return TokenLibrary::run(CallRecorder("C_CloseAllSessions").value("slotID", slotID), [&](LibraryState& state) {
        state.slot(slotID).presentToken();
        state.closeAllSessions(slotID);
        return CKR_OK;
    });
}

CK_RV C_GetSessionInfo(CK_SESSION_HANDLE hSession, CK_SESSION_INFO_PTR pInfo) {
    CallRecorder call("C_GetSessionInfo");
    call.value("hSession", hSession).given("pInfo", pInfo);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        const Session& session = state.sessions.find(hSession);
        required(pInfo) = {session.slotId, sessionState(session, state.tokenOf(session)), session.flags, 0};
        return CKR_OK;
    });
}

CK_RV C_GetOperationState(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pOperationState,
                          CK_ULONG_PTR pulOperationStateLen) {
    CallRecorder call("C_GetOperationState");
    call.value("hSession", hSession)
        .given("pOperationState", pOperationState)
        .inOut("pulOperationStateLen", pulOperationStateLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        return returnList(state.sessions.find(hSession).operationState, pOperationState, pulOperationStateLen);
    });
}

CK_RV C_SetOperationState(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pOperationState, CK_ULONG ulOperationStateLen,
                          CK_OBJECT_HANDLE hEncryptionKey, CK_OBJECT_HANDLE hAuthenticationKey) {
    CallRecorder call("C_SetOperationState");
    call.value("hSession", hSession)
        .given("pOperationState", pOperationState)
        .value("ulOperationStateLen", ulOperationStateLen)
        .value("hEncryptionKey", hEncryptionKey)
        .value("hAuthenticationKey", hAuthenticationKey);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        Session& session = state.sessions.find(hSession);
        const CK_BYTE* bytes = &required(pOperationState);
        std::vector<CK_BYTE> saved(bytes, bytes + ulOperationStateLen);
        if (!SessionTable::isOperationState(saved)) {
            return CKR_SAVED_STATE_INVALID;
        }
        // The saved states carry no operation that would need a key.
        if (hEncryptionKey != CK_INVALID_HANDLE || hAuthenticationKey != CK_INVALID_HANDLE) {
            return CKR_KEY_NOT_NEEDED;
        }
        session.operationState = std::move(saved);
        return CKR_OK;
    });
}

}  // namespace testtoken::api
