// The toolkit's algorithm factory: one maker per algorithm, each returning
// a new algorithm object owned by the caller, or null when the factory
// offers no such algorithm (for that key). Modules derive from it and
// override the makers they serve; the virtual operations are in the order
// hosts call them through.
//
// This factory's own offer: the MD5, SHA-1 and SHA-2 digests (the
// toolkit's ZEPMD5, ZEPSHA1 and ZEPSHA224 ... ZEPSHA512) and Base64 encoding
// and decoding. Every other maker returns null.
#ifndef MERVIL_ZEPKRYALGORITHMFACTORY_H
#define MERVIL_ZEPKRYALGORITHMFACTORY_H

#include "zepbuffer.h"
#include "zepstring.h"

class ZEPECCurve;
class ZEPKRYKey;
class ZEPKRYDigestAlgorithm;
class ZEPKRYSignatureAlgorithm;
class ZEPKRYVerificationAlgorithm;
class ZEPKRYEncryptionAlgorithm;
class ZEPKRYDecryptionAlgorithm;
class ZEPKRYRandomDataGenAlgorithm;
class ZEPKRYPublicKeyGenAlgorithm;
class ZEPKRYSecretKeyGenAlgorithm;
class ZEPKRYEncodeAlgorithm;
class ZEPKRYDecodeAlgorithm;

class ZEPKRYAlgorithmFactory {
public:
    ZEPKRYAlgorithmFactory() = default;
    ZEPKRYAlgorithmFactory(const ZEPKRYAlgorithmFactory&) = default;
    ZEPKRYAlgorithmFactory& operator=(const ZEPKRYAlgorithmFactory&) = default;

    virtual ~ZEPKRYAlgorithmFactory();
    // A new factory of the same kind, owned by the caller.
    virtual ZEPKRYAlgorithmFactory* duplicate() const;

    // `seed` may be null.
    virtual ZEPKRYRandomDataGenAlgorithm* make_Default_RandomDataGenAlgorithm(const r_buffer_t* /*seed*/) const {
        return nullptr;
    }
    virtual ZEPKRYPublicKeyGenAlgorithm* make_RSA_PublicKeyGenAlgorithm(unsigned int /*keyBits*/) const {
        return nullptr;
    }
    virtual ZEPKRYPublicKeyGenAlgorithm* make_DSA_PublicKeyGenAlgorithm(unsigned int /*keyBits*/) const {
        return nullptr;
    }

    virtual ZEPKRYSecretKeyGenAlgorithm* make_DES_SecretKeyGenAlgorithm() const { return nullptr; }
    virtual ZEPKRYSecretKeyGenAlgorithm* make_DES2KEY_SecretKeyGenAlgorithm() const { return nullptr; }
    virtual ZEPKRYSecretKeyGenAlgorithm* make_DES3KEY_SecretKeyGenAlgorithm() const { return nullptr; }
    virtual ZEPKRYSecretKeyGenAlgorithm* make_RC2_SecretKeyGenAlgorithm(unsigned int /*keyBits*/) const {
        return nullptr;
    }
    virtual ZEPKRYSecretKeyGenAlgorithm* make_RC4_SecretKeyGenAlgorithm(unsigned int /*keyBits*/) const {
        return nullptr;
    }
    // Password-based keys (PKCS#5): password, salt, iteration count.
    virtual ZEPKRYSecretKeyGenAlgorithm* make_PBEDESWithMD2_SecretKeyGenAlgorithm(
        const r_buffer_t& /*password*/, const r_buffer_t& /*salt*/, unsigned int /*iterations*/) const {
        return nullptr;
    }
    virtual ZEPKRYSecretKeyGenAlgorithm* make_PBEDESWithMD5_SecretKeyGenAlgorithm(
        const r_buffer_t& /*password*/, const r_buffer_t& /*salt*/, unsigned int /*iterations*/) const {
        return nullptr;
    }
    virtual ZEPKRYSecretKeyGenAlgorithm* make_PBEDESWithSHA1_SecretKeyGenAlgorithm(
        const r_buffer_t& /*password*/, const r_buffer_t& /*salt*/, unsigned int /*iterations*/) const {
        return nullptr;
    }
    // Password-based keys (PKCS#12): [key size in bits,] password, salt,
    // iteration count.
    virtual ZEPKRYSecretKeyGenAlgorithm* make_PFXDES3KEYWithSHA1_SecretKeyGenAlgorithm(
        const r_buffer_t& /*password*/, const r_buffer_t& /*salt*/, unsigned int /*iterations*/) const {
        return nullptr;
    }
    virtual ZEPKRYSecretKeyGenAlgorithm* make_PFXRC2WithSHA1_SecretKeyGenAlgorithm(
        unsigned int /*keyBits*/, const r_buffer_t& /*password*/, const r_buffer_t& /*salt*/,
        unsigned int /*iterations*/) const {
        return nullptr;
    }
    virtual ZEPKRYSecretKeyGenAlgorithm* make_PFXRC4WithSHA1_SecretKeyGenAlgorithm(
        unsigned int /*keyBits*/, const r_buffer_t& /*password*/, const r_buffer_t& /*salt*/,
        unsigned int /*iterations*/) const {
        return nullptr;
    }

    virtual ZEPKRYDigestAlgorithm* make_MD2_DigestAlgorithm() const { return nullptr; }
    virtual ZEPKRYDigestAlgorithm* make_MD5_DigestAlgorithm() const;
    virtual ZEPKRYDigestAlgorithm* make_SHA1_DigestAlgorithm() const;
    virtual ZEPKRYDigestAlgorithm* make_MD2_KeyedDigestAlgorithm(const r_buffer_t& /*key*/) const { return nullptr; }
    virtual ZEPKRYDigestAlgorithm* make_MD5_KeyedDigestAlgorithm(const r_buffer_t& /*key*/) const { return nullptr; }
    virtual ZEPKRYDigestAlgorithm* make_SHA1_KeyedDigestAlgorithm(const r_buffer_t& /*key*/) const { return nullptr; }

    virtual ZEPKRYSignatureAlgorithm* make_MD2WithRSA_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYSignatureAlgorithm* make_MD5WithRSA_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYSignatureAlgorithm* make_SHA1WithRSA_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYSignatureAlgorithm* make_SHA1WithDSA_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }

    virtual ZEPKRYVerificationAlgorithm* make_MD2WithRSA_VerificationAlgorithm(const ZEPKRYKey& /*publicKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYVerificationAlgorithm* make_MD5WithRSA_VerificationAlgorithm(const ZEPKRYKey& /*publicKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYVerificationAlgorithm* make_SHA1WithRSA_VerificationAlgorithm(const ZEPKRYKey& /*publicKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYVerificationAlgorithm* make_SHA1WithDSA_VerificationAlgorithm(const ZEPKRYKey& /*publicKey*/) const {
        return nullptr;
    }

    // RSA PKCS#1 v1.5.
    virtual ZEPKRYEncryptionAlgorithm* make_RSAPKCS_EncryptionAlgorithm(const ZEPKRYKey& /*key*/) const {
        return nullptr;
    }
    // Block ciphers in CBC mode with an 8-byte IV; `pad` asks for PKCS#5
    // padding of the last block.
    virtual ZEPKRYEncryptionAlgorithm* make_DESCBCIV8_EncryptionAlgorithm(const ZEPKRYKey& /*key*/,
                                                                          const r_buffer_t& /*iv*/,
                                                                          bool /*pad*/) const {
        return nullptr;
    }
    virtual ZEPKRYEncryptionAlgorithm* make_DES2KEYEDECBCIV8_EncryptionAlgorithm(const ZEPKRYKey& /*key*/,
                                                                                 const r_buffer_t& /*iv*/,
                                                                                 bool /*pad*/) const {
        return nullptr;
    }
    virtual ZEPKRYEncryptionAlgorithm* make_DES3KEYEDECBCIV8_EncryptionAlgorithm(const ZEPKRYKey& /*key*/,
                                                                                 const r_buffer_t& /*iv*/,
                                                                                 bool /*pad*/) const {
        return nullptr;
    }
    virtual ZEPKRYEncryptionAlgorithm* make_RC2CBCIV8_EncryptionAlgorithm(const ZEPKRYKey& /*key*/,
                                                                          const r_buffer_t& /*iv*/,
                                                                          bool /*pad*/) const {
        return nullptr;
    }
    virtual ZEPKRYEncryptionAlgorithm* make_RC4_EncryptionAlgorithm(const ZEPKRYKey& /*key*/) const {
        return nullptr;
    }

    // The decryption makers take the key-recovery block that the sender's
    // encryption algorithm gave (getKeyRecoveryBlock); null when there is
    // none.
    virtual ZEPKRYDecryptionAlgorithm* make_RSAPKCS_DecryptionAlgorithm(const ZEPKRYKey& /*key*/,
                                                                        const r_buffer_t* /*keyRecoveryBlock*/) const {
        return nullptr;
    }
    virtual ZEPKRYDecryptionAlgorithm* make_DESCBCIV8_DecryptionAlgorithm(const ZEPKRYKey& /*key*/,
                                                                          const r_buffer_t& /*iv*/, bool /*pad*/,
                                                                          const r_buffer_t* /*keyRecoveryBlock*/) const {
        return nullptr;
    }
    virtual ZEPKRYDecryptionAlgorithm* make_DES2KEYEDECBCIV8_DecryptionAlgorithm(
        const ZEPKRYKey& /*key*/, const r_buffer_t& /*iv*/, bool /*pad*/,
        const r_buffer_t* /*keyRecoveryBlock*/) const {
        return nullptr;
    }
    virtual ZEPKRYDecryptionAlgorithm* make_DES3KEYEDECBCIV8_DecryptionAlgorithm(
        const ZEPKRYKey& /*key*/, const r_buffer_t& /*iv*/, bool /*pad*/,
        const r_buffer_t* /*keyRecoveryBlock*/) const {
        return nullptr;
    }
    virtual ZEPKRYDecryptionAlgorithm* make_RC2CBCIV8_DecryptionAlgorithm(const ZEPKRYKey& /*key*/,
                                                                          const r_buffer_t& /*iv*/, bool /*pad*/,
                                                                          const r_buffer_t* /*keyRecoveryBlock*/) const {
        return nullptr;
    }
    virtual ZEPKRYDecryptionAlgorithm* make_RC4_DecryptionAlgorithm(const ZEPKRYKey& /*key*/,
                                                                    const r_buffer_t* /*keyRecoveryBlock*/) const {
        return nullptr;
    }

    virtual ZEPKRYEncodeAlgorithm* make_BASE64_EncodeAlgorithm() const;
    virtual ZEPKRYDecodeAlgorithm* make_BASE64_DecodeAlgorithm() const;

    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;

    // SHA-2, added after the operations above, whose order stays as it was:
    // digests, RSA PKCS#1 v1.5 signatures, and RSASSA-PSS signatures with
    // MGF1 of the same digest and a salt as long as the digest.
    virtual ZEPKRYDigestAlgorithm* make_SHA224_DigestAlgorithm() const;
    virtual ZEPKRYDigestAlgorithm* make_SHA256_DigestAlgorithm() const;
    virtual ZEPKRYDigestAlgorithm* make_SHA384_DigestAlgorithm() const;
    virtual ZEPKRYDigestAlgorithm* make_SHA512_DigestAlgorithm() const;
    virtual ZEPKRYSignatureAlgorithm* make_SHA224WithRSA_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYSignatureAlgorithm* make_SHA256WithRSA_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYSignatureAlgorithm* make_SHA384WithRSA_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYSignatureAlgorithm* make_SHA512WithRSA_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYSignatureAlgorithm* make_SHA256WithRSAPSS_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYSignatureAlgorithm* make_SHA384WithRSAPSS_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYSignatureAlgorithm* make_SHA512WithRSAPSS_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }

    // Elliptic-curve keys, after the operations above so that their slots
    // stay where hosts expect them. ECDSA (X9.62) over a SHA-2 digest; the
    // signature is the DER Ecdsa-Sig-Value.
    virtual ZEPKRYSignatureAlgorithm* make_ECDSAWithSHA256_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYSignatureAlgorithm* make_ECDSAWithSHA384_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }
    virtual ZEPKRYSignatureAlgorithm* make_ECDSAWithSHA512_SignatureAlgorithm(const ZEPKRYKey& /*privateKey*/) const {
        return nullptr;
    }
    // A key pair on `curve`.
    virtual ZEPKRYPublicKeyGenAlgorithm* make_EC_PublicKeyGenAlgorithm(const ZEPECCurve& /*curve*/) const {
        return nullptr;
    }

    static ZEPString getClassName() { return "ZEPKRYAlgorithmFactory"; }
};

#endif
