// Encrypting, decrypting, digesting, signing and verifying: the calls that start,
// feed and finish a session's cryptographic operations.
#include "entrypoints.h"
#include "sessionoperations.h"
#include "tokenlibrary.h"

namespace testtoken::api {

namespace {

// A byte-string argument and its length, under the names the call log gives them.
// A default one stands for the data a final call does not take: it is not recorded.
struct NamedInput {
    const char* name;
    const CK_BYTE* bytes;
    const char* lengthName;
    CK_ULONG length;

    ByteArgument argument() const noexcept { return name != nullptr ? ByteArgument(bytes, length) : ByteArgument(); }
};

// An output buffer and the length it returns by the two-call protocol.
struct NamedOutput {
    const char* name;
    CK_BYTE* bytes;
    const char* lengthName;
    CK_ULONG* length;
};

CallRecorder& record(CallRecorder& call, const NamedInput& input) noexcept {
    return input.name != nullptr ? call.input(input.name, input.bytes, input.lengthName, input.length) : call;
}

CallRecorder& record(CallRecorder& call, const NamedOutput& output) noexcept {
    return call.given(output.name, output.bytes).inOut(output.lengthName, output.length);
}

template <typename Body>
CK_RV onSession(const CallRecorder& call, CK_SESSION_HANDLE hSession, Body&& body) {
    return TokenLibrary::run(call, [&](LibraryState& state) {
        SessionOperations operations(state, hSession);
        return body(operations);
    });
}

// C_EncryptInit, C_DecryptInit, C_SignInit and C_VerifyInit.
CK_RV start(const char* function, OperationKind kind, CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism,
            CK_OBJECT_HANDLE hKey) {
    CallRecorder call(function);
    call.value("hSession", hSession).mechanism("pMechanism", pMechanism).value("hKey", hKey);
    return onSession(call, hSession, [&](SessionOperations& operations) {
        operations.start(kind, pMechanism, hKey);
        return CKR_OK;
    });
}

// C_DigestUpdate, C_SignUpdate and C_VerifyUpdate.
CK_RV update(const char* function, OperationKind kind, CK_SESSION_HANDLE hSession, CK_BYTE_PTR pPart,
             CK_ULONG ulPartLen) {
    CallRecorder call(function);
    call.value("hSession", hSession).input("pPart", pPart, "ulPartLen", ulPartLen);
    return onSession(call, hSession, [&](SessionOperations& operations) {
        operations.update(kind, {pPart, ulPartLen});
        return CKR_OK;
    });
}

// C_EncryptUpdate and C_DecryptUpdate.
CK_RV update(const char* function, OperationKind kind, CK_SESSION_HANDLE hSession, const NamedInput& part,
             const NamedOutput& output) {
    CallRecorder call(function);
    record(record(call.value("hSession", hSession), part), output);
    return onSession(call, hSession, [&](SessionOperations& operations) {
        return operations.update(kind, part.argument(), output.bytes, output.length);
    });
}

// The one-shot and final calls that return a result.
CK_RV finish(const char* function, OperationKind kind, CK_SESSION_HANDLE hSession, const NamedInput& data,
             const NamedOutput& output) {
    CallRecorder call(function);
    record(record(call.value("hSession", hSession), data), output);
    return onSession(call, hSession, [&](SessionOperations& operations) {
        return operations.finish(kind, data.argument(), output.bytes, output.length);
    });
}

// C_Verify and C_VerifyFinal.
CK_RV verify(const char* function, CK_SESSION_HANDLE hSession, const NamedInput& data, const NamedInput& signature) {
    CallRecorder call(function);
    record(record(call.value("hSession", hSession), data), signature);
    return onSession(call, hSession, [&](SessionOperations& operations) {
        return operations.verify(data.argument(), signature.argument());
    });
}

}  // namespace

CK_RV C_EncryptInit(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism, CK_OBJECT_HANDLE hKey) {
    return start("C_EncryptInit", OperationKind::encrypt, hSession, pMechanism, hKey);
}

CK_RV C_Encrypt(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pData, CK_ULONG ulDataLen, CK_BYTE_PTR pEncryptedData,
                CK_ULONG_PTR pulEncryptedDataLen) {
    return finish("C_Encrypt", OperationKind::encrypt, hSession, {"pData", pData, "ulDataLen", ulDataLen},
                  {"pEncryptedData", pEncryptedData, "pulEncryptedDataLen", pulEncryptedDataLen});
}

CK_RV C_EncryptUpdate(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pPart, CK_ULONG ulPartLen, CK_BYTE_PTR pEncryptedPart,
                      CK_ULONG_PTR pulEncryptedPartLen) {
    return update("C_EncryptUpdate", OperationKind::encrypt, hSession, {"pPart", pPart, "ulPartLen", ulPartLen},
                  {"pEncryptedPart", pEncryptedPart, "pulEncryptedPartLen", pulEncryptedPartLen});
}

CK_RV C_EncryptFinal(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pLastEncryptedPart, CK_ULONG_PTR pulLastEncryptedPartLen) {
    return finish("C_EncryptFinal", OperationKind::encrypt, hSession, {},
                  {"pLastEncryptedPart", pLastEncryptedPart, "pulLastEncryptedPartLen", pulLastEncryptedPartLen});
}

CK_RV C_DecryptInit(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism, CK_OBJECT_HANDLE hKey) {
    return start("C_DecryptInit", OperationKind::decrypt, hSession, pMechanism, hKey);
}

CK_RV C_Decrypt(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pEncryptedData, CK_ULONG ulEncryptedDataLen,
                CK_BYTE_PTR pData, CK_ULONG_PTR pulDataLen) {
    return finish("C_Decrypt", OperationKind::decrypt, hSession,
                  {"pEncryptedData", pEncryptedData, "ulEncryptedDataLen", ulEncryptedDataLen},
                  {"pData", pData, "pulDataLen", pulDataLen});
}

CK_RV C_DecryptUpdate(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pEncryptedPart, CK_ULONG ulEncryptedPartLen,
                      CK_BYTE_PTR pPart, CK_ULONG_PTR pulPartLen) {
    return update("C_DecryptUpdate", OperationKind::decrypt, hSession,
                  {"pEncryptedPart", pEncryptedPart, "ulEncryptedPartLen", ulEncryptedPartLen},
                  {"pPart", pPart, "pulPartLen", pulPartLen});
}

CK_RV C_DecryptFinal(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pLastPart, CK_ULONG_PTR pulLastPartLen) {
    return finish("C_DecryptFinal", OperationKind::decrypt, hSession, {},
                  {"pLastPart", pLastPart, "pulLastPartLen", pulLastPartLen});
}

CK_RV C_DigestInit(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism) {
    CallRecorder call("C_DigestInit");
    call.value("hSession", hSession).mechanism("pMechanism", pMechanism);
    return onSession(call, hSession, [&](SessionOperations& operations) {
        operations.start(OperationKind::digest, pMechanism);
        return CKR_OK;
    });
}

CK_RV C_Digest(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pData, CK_ULONG ulDataLen, CK_BYTE_PTR pDigest,
               CK_ULONG_PTR pulDigestLen) {
    return finish("C_Digest", OperationKind::digest, hSession, {"pData", pData, "ulDataLen", ulDataLen},
                  {"pDigest", pDigest, "pulDigestLen", pulDigestLen});
}

CK_RV C_DigestUpdate(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pPart, CK_ULONG ulPartLen) {
    return update("C_DigestUpdate", OperationKind::digest, hSession, pPart, ulPartLen);
}

CK_RV C_DigestKey(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hKey) {
    CallRecorder call("C_DigestKey");
    call.value("hSession", hSession).value("hKey", hKey);
    return onSession(call, hSession, [&](SessionOperations& operations) {
        operations.digestKey(hKey);
        return CKR_OK;
    });
}

CK_RV C_DigestFinal(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pDigest, CK_ULONG_PTR pulDigestLen) {
    return finish("C_DigestFinal", OperationKind::digest, hSession, {},
                  {"pDigest", pDigest, "pulDigestLen", pulDigestLen});
}

CK_RV C_SignInit(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism, CK_OBJECT_HANDLE hKey) {
    return start("C_SignInit", OperationKind::sign, hSession, pMechanism, hKey);
}

CK_RV C_Sign(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pData, CK_ULONG ulDataLen, CK_BYTE_PTR pSignature,
             CK_ULONG_PTR pulSignatureLen) {
    return finish("C_Sign", OperationKind::sign, hSession, {"pData", pData, "ulDataLen", ulDataLen},
                  {"pSignature", pSignature, "pulSignatureLen", pulSignatureLen});
}

CK_RV C_SignUpdate(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pPart, CK_ULONG ulPartLen) {
    return update("C_SignUpdate", OperationKind::sign, hSession, pPart, ulPartLen);
}

CK_RV C_SignFinal(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pSignature, CK_ULONG_PTR pulSignatureLen) {
    return finish("C_SignFinal", OperationKind::sign, hSession, {},
                  {"pSignature", pSignature, "pulSignatureLen", pulSignatureLen});
}

CK_RV C_VerifyInit(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism, CK_OBJECT_HANDLE hKey) {
    return start("C_VerifyInit", OperationKind::verify, hSession, pMechanism, hKey);
}

CK_RV C_Verify(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pData, CK_ULONG ulDataLen, CK_BYTE_PTR pSignature,
               CK_ULONG ulSignatureLen) {
    return verify("C_Verify", hSession, {"pData", pData, "ulDataLen", ulDataLen},
                  {"pSignature", pSignature, "ulSignatureLen", ulSignatureLen});
}

CK_RV C_VerifyUpdate(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pPart, CK_ULONG ulPartLen) {
    return update("C_VerifyUpdate", OperationKind::verify, hSession, pPart, ulPartLen);
}

CK_RV C_VerifyFinal(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pSignature, CK_ULONG ulSignatureLen) {
    return verify("C_VerifyFinal", hSession, {}, {"pSignature", pSignature, "ulSignatureLen", ulSignatureLen});
}

}  // namespace testtoken::api
