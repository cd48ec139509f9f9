// Message digests.
#include "entrypoints.h"
#include "sessionoperations.h"
#include "tokenlibrary.h"

namespace testtoken::api {

CK_RV C_DigestInit(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism) {
    CallRecorder call("C_DigestInit");
    call.value("hSession", hSession).mechanism("pMechanism", pMechanism);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        SessionOperations(state, hSession).start(OperationKind::digest, pMechanism);
        return CKR_OK;
    });
}

CK_RV C_Digest(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pData, CK_ULONG ulDataLen, CK_BYTE_PTR pDigest,
               CK_ULONG_PTR pulDigestLen) {
    CallRecorder call("C_Digest");
    call.value("hSession", hSession)
        .input("pData", pData, "ulDataLen", ulDataLen)
        .given("pDigest", pDigest)
        .inOut("pulDigestLen", pulDigestLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        return SessionOperations(state, hSession)
            .finish(OperationKind::digest, {pData, ulDataLen}, pDigest, pulDigestLen);
    });
}

CK_RV C_DigestUpdate(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pPart, CK_ULONG ulPartLen) {
    CallRecorder call("C_DigestUpdate");
    call.value("hSession", hSession).input("pPart", pPart, "ulPartLen", ulPartLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        SessionOperations(state, hSession).update(OperationKind::digest, {pPart, ulPartLen});
        return CKR_OK;
    });
}

CK_RV C_DigestKey(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hKey) {
    CallRecorder call("C_DigestKey");
    call.value("hSession", hSession).value("hKey", hKey);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        SessionOperations(state, hSession).digestKey(hKey);
        return CKR_OK;
    });
}

CK_RV C_DigestFinal(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pDigest, CK_ULONG_PTR pulDigestLen) {
    CallRecorder call("C_DigestFinal");
    call.value("hSession", hSession).given("pDigest", pDigest).inOut("pulDigestLen", pulDigestLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        return SessionOperations(state, hSession).finish(OperationKind::digest, {}, pDigest, pulDigestLen);
    });
}

}  // namespace testtoken::api
