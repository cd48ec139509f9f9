// Signing and verifying.
#include "entrypoints.h"
#include "sessionoperations.h"
#include "tokenlibrary.h"

namespace testtoken::api {

CK_RV C_SignInit(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism, CK_OBJECT_HANDLE hKey) {
    CallRecorder call("C_SignInit");
    call.value("hSession", hSession).mechanism("pMechanism", pMechanism).value("hKey", hKey);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        SessionOperations(state, hSession).start(OperationKind::sign, pMechanism, hKey);
        return CKR_OK;
    });
}

CK_RV C_Sign(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pData, CK_ULONG ulDataLen, CK_BYTE_PTR pSignature,
             CK_ULONG_PTR pulSignatureLen) {
    CallRecorder call("C_Sign");
    call.value("hSession", hSession)
        .input("pData", pData, "ulDataLen", ulDataLen)
        .given("pSignature", pSignature)
        .inOut("pulSignatureLen", pulSignatureLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        return SessionOperations(state, hSession)
            .finish(OperationKind::sign, {pData, ulDataLen}, pSignature, pulSignatureLen);
    });
}

CK_RV C_SignUpdate(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pPart, CK_ULONG ulPartLen) {
    CallRecorder call("C_SignUpdate");
    call.value("hSession", hSession).input("pPart", pPart, "ulPartLen", ulPartLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        SessionOperations(state, hSession).update(OperationKind::sign, {pPart, ulPartLen});
        return CKR_OK;
    });
}

CK_RV C_SignFinal(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pSignature, CK_ULONG_PTR pulSignatureLen) {
    CallRecorder call("C_SignFinal");
    call.value("hSession", hSession).given("pSignature", pSignature).inOut("pulSignatureLen", pulSignatureLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        return SessionOperations(state, hSession)
            .finish(OperationKind::sign, {}, pSignature, pulSignatureLen);
    });
}

CK_RV C_VerifyInit(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism, CK_OBJECT_HANDLE hKey) {
    CallRecorder call("C_VerifyInit");
    call.value("hSession", hSession).mechanism("pMechanism", pMechanism).value("hKey", hKey);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        SessionOperations(state, hSession).start(OperationKind::verify, pMechanism, hKey);
        return CKR_OK;
    });
}

CK_RV C_Verify(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pData, CK_ULONG ulDataLen, CK_BYTE_PTR pSignature,
               CK_ULONG ulSignatureLen) {
    CallRecorder call("C_Verify");
    call.value("hSession", hSession)
        .input("pData", pData, "ulDataLen", ulDataLen)
        .input("pSignature", pSignature, "ulSignatureLen", ulSignatureLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        return SessionOperations(state, hSession).verify({pData, ulDataLen}, {pSignature, ulSignatureLen});
    });
}

CK_RV C_VerifyUpdate(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pPart, CK_ULONG ulPartLen) {
    CallRecorder call("C_VerifyUpdate");
    call.value("hSession", hSession).input("pPart", pPart, "ulPartLen", ulPartLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        SessionOperations(state, hSession).update(OperationKind::verify, {pPart, ulPartLen});
        return CKR_OK;
    });
}

CK_RV C_VerifyFinal(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pSignature, CK_ULONG ulSignatureLen) {
    CallRecorder call("C_VerifyFinal");
    call.value("hSession", hSession).input("pSignature", pSignature, "ulSignatureLen", ulSignatureLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        return SessionOperations(state, hSession).verify({}, {pSignature, ulSignatureLen});
    });
}

}  // namespace testtoken::api
