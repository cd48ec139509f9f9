// The algorithm factory of one token slot: RSA signatures (PKCS#1 v1.5
// over MD5, SHA-1 and SHA-2, RSASSA-PSS over SHA-256/384/512), ECDSA
// signatures over SHA-256/384/512, RSA PKCS#1 encryption and decryption,
// RSA and EC key-pair generation and random data run on the token. EC keys only
// sign: the encryption and decryption makers refuse them (571004). The key
// makers serve only keys that stay on a token (format
// FORMAT_PKCS11_KEY_RECORD) and answer null for any other key, without
// falling back to the toolkit; the MD5 and SHA-1 digest and verification
// makers answer null, and every other maker is the toolkit's own.
//
// The factory and each algorithm it makes hold slot manager copies of their
// own, so either may be destroyed first, and duplicates may be used on other
// threads.
#ifndef MERVIL7_PKCS11KRYALGORITHMFACTORY_H
#define MERVIL7_PKCS11KRYALGORITHMFACTORY_H

#include <cstdint>
#include <memory>

#include "kry/zepkryalgorithmfactory.h"

class SlotManager;

class PKCS11KRYAlgorithmFactory : public ZEPKRYAlgorithmFactory {
public:
    explicit PKCS11KRYAlgorithmFactory(SlotManager& slotManager);
    PKCS11KRYAlgorithmFactory(const PKCS11KRYAlgorithmFactory& other);
    PKCS11KRYAlgorithmFactory& operator=(const PKCS11KRYAlgorithmFactory&) = delete;
    ~PKCS11KRYAlgorithmFactory() override;

    ZEPKRYAlgorithmFactory* duplicate() const override;

    ZEPKRYRandomDataGenAlgorithm* make_Default_RandomDataGenAlgorithm(const r_buffer_t* seed) const override;
    ZEPKRYPublicKeyGenAlgorithm* make_RSA_PublicKeyGenAlgorithm(unsigned int keyBits) const override;
    ZEPKRYPublicKeyGenAlgorithm* make_EC_PublicKeyGenAlgorithm(const ZEPECCurve& curve) const override;
    ZEPKRYDigestAlgorithm* make_MD5_DigestAlgorithm() const override;
    ZEPKRYDigestAlgorithm* make_SHA1_DigestAlgorithm() const override;
    ZEPKRYSignatureAlgorithm* make_MD5WithRSA_SignatureAlgorithm(const ZEPKRYKey& privateKey) const override;
    ZEPKRYSignatureAlgorithm* make_SHA1WithRSA_SignatureAlgorithm(const ZEPKRYKey& privateKey) const override;
    ZEPKRYSignatureAlgorithm* make_SHA224WithRSA_SignatureAlgorithm(const ZEPKRYKey& privateKey) const override;
    ZEPKRYSignatureAlgorithm* make_SHA256WithRSA_SignatureAlgorithm(const ZEPKRYKey& privateKey) const override;
    ZEPKRYSignatureAlgorithm* make_SHA384WithRSA_SignatureAlgorithm(const ZEPKRYKey& privateKey) const override;
    ZEPKRYSignatureAlgorithm* make_SHA512WithRSA_SignatureAlgorithm(const ZEPKRYKey& privateKey) const override;
    ZEPKRYSignatureAlgorithm* make_SHA256WithRSAPSS_SignatureAlgorithm(const ZEPKRYKey& privateKey) const override;
    ZEPKRYSignatureAlgorithm* make_SHA384WithRSAPSS_SignatureAlgorithm(const ZEPKRYKey& privateKey) const override;
    ZEPKRYSignatureAlgorithm* make_SHA512WithRSAPSS_SignatureAlgorithm(const ZEPKRYKey& privateKey) const override;
    ZEPKRYSignatureAlgorithm* make_ECDSAWithSHA256_SignatureAlgorithm(const ZEPKRYKey& privateKey) const override;
    ZEPKRYSignatureAlgorithm* make_ECDSAWithSHA384_SignatureAlgorithm(const ZEPKRYKey& privateKey) const override;
    ZEPKRYSignatureAlgorithm* make_ECDSAWithSHA512_SignatureAlgorithm(const ZEPKRYKey& privateKey) const override;
    ZEPKRYVerificationAlgorithm* make_MD5WithRSA_VerificationAlgorithm(const ZEPKRYKey& publicKey) const override;
    ZEPKRYVerificationAlgorithm* make_SHA1WithRSA_VerificationAlgorithm(const ZEPKRYKey& publicKey) const override;
    ZEPKRYEncryptionAlgorithm* make_RSAPKCS_EncryptionAlgorithm(const ZEPKRYKey& key) const override;
    // The key-recovery block is not used: RSA has none.
    ZEPKRYDecryptionAlgorithm* make_RSAPKCS_DecryptionAlgorithm(const ZEPKRYKey& key,
                                                                const r_buffer_t* keyRecoveryBlock) const override;

    bool isKindOf(const ZEPString& className) const override;
    ZEPString getInstanceName() const override;

    static ZEPString getClassName() { return "PKCS11KRYAlgorithmFactory"; }

private:
    // A signature algorithm of `kind` for a key that stays on the token;
    // null for any other key.
    ZEPKRYSignatureAlgorithm* signatureAlgorithm(uint32_t kind, const ZEPKRYKey& privateKey) const;

    std::unique_ptr<SlotManager> slot_;
};

#endif
