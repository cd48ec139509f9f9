// The cryptographic operations of one session.
#ifndef TESTTOKEN_SESSIONOPERATIONS_H
#define TESTTOKEN_SESSIONOPERATIONS_H

#include "arguments.h"
#include "librarystate.h"

namespace testtoken {

// The standard's rules for an operation's life: one of each kind at a time
// (CKR_OPERATION_ACTIVE); calls without one get CKR_OPERATION_NOT_INITIALIZED. A
// call that delivers a result ends the operation, and so does every failure of a
// call made for it except CKR_BUFFER_TOO_SMALL; a length query (null output) keeps it.
// Failures throw CryptokiError.
class SessionOperations {
public:
    // CKR_SESSION_HANDLE_INVALID when the handle names no open session.
    SessionOperations(LibraryState& state, CK_SESSION_HANDLE handle) : objects_(state.objectsOf(handle)) {}

    // The checks of CryptoOperation, after the key's of ObjectAccess::key. A digest
    // takes no key.
    void start(OperationKind kind, const CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key = CK_INVALID_HANDLE);
    // C_SignUpdate, C_VerifyUpdate and C_DigestUpdate.
    void update(OperationKind kind, const ByteArgument& part);
    // C_EncryptUpdate and C_DecryptUpdate: the part waits for the final call, so no
    // output comes yet. A length query does not take the part.
    CK_RV update(OperationKind kind, const ByteArgument& part, CK_BYTE* output, CK_ULONG* outputLength);
    // The value of a secret key joins the digest: CKR_KEY_INDIGESTIBLE for any other object.
    void digestKey(CK_OBJECT_HANDLE key);
    // A one-shot or final call: the result over all parts and data, by the two-call protocol.
    CK_RV finish(OperationKind kind, const ByteArgument& data, CK_BYTE* output, CK_ULONG* outputLength);
    // C_Verify and C_VerifyFinal: CKR_OK, CKR_SIGNATURE_INVALID or CKR_SIGNATURE_LEN_RANGE.
    CK_RV verify(const ByteArgument& data, const ByteArgument& signature);

private:
    CryptoOperation& active(OperationKind kind);

    ObjectAccess objects_;
};

}  // namespace testtoken

#endif
