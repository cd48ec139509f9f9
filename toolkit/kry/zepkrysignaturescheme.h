// A signature scheme a caller chooses, such as the signature of a
// certification request: a digest and the way the signature is made over
// it, RSA PKCS#1 v1.5, RSASSA-PSS (MGF1 with the same digest and a salt
// as long as the digest) or ECDSA (the signature an Ecdsa-Sig-Value). It
// knows the algorithm factory's maker of its
// signature algorithm and the AlgorithmIdentifier that names its
// signatures in certificates and requests.
#ifndef MERVIL_ZEPKRYSIGNATURESCHEME_H
#define MERVIL_ZEPKRYSIGNATURESCHEME_H

#include "kry/zepkrydigesttype.h"

class ZEPKRYKey;
class ZEPKRYSignatureAlgorithm;

class ZEPKRYSignatureScheme {
public:
    enum Id {
        SHA1_WITH_RSA,
        SHA224_WITH_RSA,
        SHA256_WITH_RSA,
        SHA384_WITH_RSA,
        SHA512_WITH_RSA,
        SHA256_WITH_RSA_PSS,
        SHA384_WITH_RSA_PSS,
        SHA512_WITH_RSA_PSS,
        SHA256_WITH_ECDSA,
        SHA384_WITH_ECDSA,
        SHA512_WITH_ECDSA,
    };
    // ECDSA signs the digest as it is, without padding.
    enum class Padding { RSA_PKCS1, RSA_PSS, ECDSA };

    // Implicit, so that the ids name the schemes:
    // ZEPKRYSignatureScheme::SHA256_WITH_RSA.
    constexpr ZEPKRYSignatureScheme(Id id) : id_(id) {}
    constexpr Id getId() const { return id_; }
    bool operator==(const ZEPKRYSignatureScheme&) const = default;
    // The scheme a key signs with when the caller names none: SHA-256 with
    // ECDSA for an EC key, SHA-1 with RSA for any other.
    static ZEPKRYSignatureScheme defaultFor(const ZEPKRYKey& key);

    ZEPKRYDigestType getDigestType() const;
    Padding getPadding() const;
    // ZEPKRYKey::ALGORITHM_EC for ECDSA, ALGORITHM_RSA for the others.
    int getKeyAlgorithm() const;
    // "SHA-256 with RSA", "SHA-256 with RSA-PSS", "SHA-256 with ECDSA" ...
    const char* getName() const;
    // The factory's signature algorithm of this scheme for `privateKey`,
    // owned by the caller; null when the factory offers none for that key.
    ZEPKRYSignatureAlgorithm* makeSignatureAlgorithm(const ZEPKRYAlgorithmFactory& factory,
                                                     const ZEPKRYKey& privateKey) const;
    // Sets `out` to the identifier of the scheme's signatures: the
    // sha...WithRSAEncryption identifier with NULL parameters,
    // id-RSASSA-PSS with its RSASSA-PSS-params (the trailer field at its
    // default, so absent), or ecdsa-with-SHA... without parameters.
    void getAlgorithmIdentifier(AlgorithmIdentifier& out) const;

private:
    Id id_;
};

#endif
