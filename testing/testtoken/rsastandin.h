// RSA PKCS#1 v1.5 as the token pretends to do it.
#ifndef TESTTOKEN_RSASTANDIN_H
#define TESTTOKEN_RSASTANDIN_H

#include "testtoken/testtokencontrol.h"

#include <cstddef>

namespace testtoken {

// Works on the PKCS#1 v1.5 blocks (type 1 for signatures, type 2 with fixed padding
// for encryption) but, instead of exponentiating, masks them with bytes derived from
// the modulus alone. Both halves of a key pair share the modulus, so what one
// half makes the other undoes, and a key with another modulus fails. Results are
// modulus-length and repeatable. Failures throw CryptokiError.
class RsaStandIn {
public:
    // Leading zero bytes of the modulus do not count towards its length.
    explicit RsaStandIn(const AttributeValue& modulus);

    std::size_t length() const noexcept { return mask_.size(); }

    // CKR_DATA_LEN_RANGE for data longer than the length less 11.
    Bytes sign(const Bytes& data) const;
    // CKR_OK, CKR_SIGNATURE_INVALID or CKR_SIGNATURE_LEN_RANGE.
    CK_RV verify(const Bytes& data, const Bytes& signature) const;
    // CKR_DATA_LEN_RANGE as sign.
    Bytes encrypt(const Bytes& data) const;
    // CKR_ENCRYPTED_DATA_LEN_RANGE unless modulus-length, CKR_ENCRYPTED_DATA_INVALID
    // unless an encryption block under this modulus.
    Bytes decrypt(const Bytes& ciphertext) const;

private:
    Bytes block(CK_BYTE type, const Bytes& data) const;
    Bytes masked(Bytes bytes) const;

    Bytes mask_;
};

}  // namespace testtoken

#endif
