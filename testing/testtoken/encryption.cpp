// Encrypting and decrypting.
#include "entrypoints.h"
#include "sessionoperations.h"
#include "tokenlibrary.h"

namespace testtoken::api {

CK_RV C_EncryptInit(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism, CK_OBJECT_HANDLE hKey) {
    CallRecorder call("C_EncryptInit");
    call.value("hSession", hSession).mechanism("pMechanism", pMechanism).value("hKey", hKey);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        SessionOperations(state, hSession).start(OperationKind::encrypt, pMechanism, hKey);
        return CKR_OK;
    });
}

CK_RV C_Encrypt(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pData, CK_ULONG ulDataLen, CK_BYTE_PTR pEncryptedData,
                CK_ULONG_PTR pulEncryptedDataLen) {
    CallRecorder call("C_Encrypt");
    call.value("hSession", hSession)
        .input("pData", pData, "ulDataLen", ulDataLen)
        .given("pEncryptedData", pEncryptedData)
        .inOut("pulEncryptedDataLen", pulEncryptedDataLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        return SessionOperations(state, hSession)
            .finish(OperationKind::encrypt, {pData, ulDataLen}, pEncryptedData, pulEncryptedDataLen);
    });
}

CK_RV C_EncryptUpdate(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pPart, CK_ULONG ulPartLen, CK_BYTE_PTR pEncryptedPart,
                      CK_ULONG_PTR pulEncryptedPartLen) {
    CallRecorder call("C_EncryptUpdate");
    call.value("hSession", hSession)
        .input("pPart", pPart, "ulPartLen", ulPartLen)
        .given("pEncryptedPart", pEncryptedPart)
        .inOut("pulEncryptedPartLen", pulEncryptedPartLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        return SessionOperations(state, hSession)
            .update(OperationKind::encrypt, {pPart, ulPartLen}, pEncryptedPart, pulEncryptedPartLen);
    });
}

CK_RV C_EncryptFinal(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pLastEncryptedPart, CK_ULONG_PTR pulLastEncryptedPartLen) {
    CallRecorder call("C_EncryptFinal");
    call.value("hSession", hSession)
        .given("pLastEncryptedPart", pLastEncryptedPart)
        .inOut("pulLastEncryptedPartLen", pulLastEncryptedPartLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        return SessionOperations(state, hSession)
            .finish(OperationKind::encrypt, {}, pLastEncryptedPart, pulLastEncryptedPartLen);
    });
}

CK_RV C_DecryptInit(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism, CK_OBJECT_HANDLE hKey) {
    CallRecorder call("C_DecryptInit");
    call.value("hSession", hSession).mechanism("pMechanism", pMechanism).value("hKey", hKey);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        SessionOperations(state, hSession).start(OperationKind::decrypt, pMechanism, hKey);
        return CKR_OK;
    });
}

CK_RV C_Decrypt(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pEncryptedData, CK_ULONG ulEncryptedDataLen,
                CK_BYTE_PTR pData, CK_ULONG_PTR pulDataLen) {
    CallRecorder call("C_Decrypt");
    call.value("hSession", hSession)
        .input("pEncryptedData", pEncryptedData, "ulEncryptedDataLen", ulEncryptedDataLen)
        .given("pData", pData)
        .inOut("pulDataLen", pulDataLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        return SessionOperations(state, hSession)
            .finish(OperationKind::decrypt, {pEncryptedData, ulEncryptedDataLen}, pData, pulDataLen);
    });
}

CK_RV C_DecryptUpdate(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pEncryptedPart, CK_ULONG ulEncryptedPartLen,
                      CK_BYTE_PTR pPart, CK_ULONG_PTR pulPartLen) {
    CallRecorder call("C_DecryptUpdate");
    call.value("hSession", hSession)
        .input("pEncryptedPart", pEncryptedPart, "ulEncryptedPartLen", ulEncryptedPartLen)
        .given("pPart", pPart)
        .inOut("pulPartLen", pulPartLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        return SessionOperations(state, hSession)
            .update(OperationKind::decrypt, {pEncryptedPart, ulEncryptedPartLen}, pPart, pulPartLen);
    });
}

CK_RV C_DecryptFinal(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pLastPart, CK_ULONG_PTR pulLastPartLen) {
    CallRecorder call("C_DecryptFinal");
    call.value("hSession", hSession).given("pLastPart", pLastPart).inOut("pulLastPartLen", pulLastPartLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        return SessionOperations(state, hSession)
            .finish(OperationKind::decrypt, {}, pLastPart, pulLastPartLen);
    });
}

}  // namespace testtoken::api
