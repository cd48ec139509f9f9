// A cryptographic operation that a session has started.
#ifndef TESTTOKEN_CRYPTOOPERATION_H
#define TESTTOKEN_CRYPTOOPERATION_H

#include "rsastandin.h"
#include "token.h"

#include <optional>

namespace testtoken {

enum class OperationKind { encrypt, decrypt, digest, sign, verify };

// The mechanism, the key's modulus as an RsaStandIn or for ECDSA its curve's field
// length (none for a digest), and the parts that multi-part calls have passed.
// ECDSA signs r||s: r what is signed, its leftmost bytes kept and leading zeros
// added up to the field's length, s r's bitwise complement. The token answers a multi-part
// operation at its final call, over all parts, whatever the mechanism.
class CryptoOperation {
public:
    // Checks, in this order, that the mechanism is in the token's table with the
    // kind's flag (CKF_SIGN and so on) and is one the token can do for that kind
    // (CKR_MECHANISM_INVALID), that it has no parameter, or for RSA-PSS a
    // CK_RSA_PKCS_PSS_PARAMS naming a known digest, that digest's MGF1 and for a
    // combined mechanism its own digest (CKR_MECHANISM_PARAM_INVALID),
    // that the key is an RSA key with a modulus (for ECDSA an EC key whose
    // CKA_EC_PARAMS name P-256, P-384 or P-521), private for signing and decrypting,
    // public for verifying and encrypting (CKR_KEY_TYPE_INCONSISTENT), and that its
    // CKA_SIGN, CKA_VERIFY, CKA_ENCRYPT or CKA_DECRYPT is not false
    // (CKR_KEY_FUNCTION_NOT_PERMITTED; missing counts as true). A digest takes no
    // key; every other kind needs one.
    CryptoOperation(OperationKind kind, const CK_MECHANISM& mechanism, const Token& token, const TokenObject* key);

    void add(const Bytes& part) { parts_.insert(parts_.end(), part.begin(), part.end()); }

    // Over the parts so far followed by data: the digest, signature, ciphertext or
    // plaintext. Failures throw CryptokiError (CKR_DATA_LEN_RANGE and the like).
    Bytes output(const Bytes& data) const;
    // Of a verification: CKR_OK, CKR_SIGNATURE_INVALID or CKR_SIGNATURE_LEN_RANGE.
    CK_RV verify(const Bytes& data, const Bytes& signature) const;

private:
    // What is signed: the data itself, or with a combined mechanism the DigestInfo of
    // its digest (the digest alone for RSA-PSS and ECDSA). The stand-in signs RSA-PSS as it
    // signs PKCS#1 v1.5, so its signatures are repeatable.
    Bytes signedPart(const Bytes& data) const;
    Bytes collected(const Bytes& data) const;

    OperationKind kind_;
    CK_MECHANISM_TYPE mechanism_;
    // Of RSA-PSS: the digest its parameter names.
    std::optional<CK_MECHANISM_TYPE> pssDigest_;
    std::optional<RsaStandIn> key_;
    // Of an ECDSA key: the field length; 0 otherwise.
    std::size_t ecdsaHalf_ = 0;
    Bytes parts_;
};

}  // namespace testtoken

#endif
