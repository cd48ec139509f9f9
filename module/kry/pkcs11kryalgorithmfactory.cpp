#include "pkcs11kryalgorithmfactory.h"

#include "errorcodes.h"
#include "zepexception.h"
#include "kry/zepkrykey.h"
#include "pkcs11krydecryptionalgorithm.h"
#include "pkcs11kryencryptionalgorithm.h"
#include "pkcs11krypublickeygenalgorithm.h"
#include "pkcs11kryrandomdatagenalgorithm.h"
#include "pkcs11krysignaturealgorithm.h"
#include "slotmanager.h"
#include "zeptrace.h"

namespace {

// Keys held in software get nothing from this factory, not even the
// toolkit's algorithms: a host that wants those asks the toolkit's factory.
bool staysOnToken(const ZEPKRYKey& key) { return key.getFormat() == ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD; }

// EC keys sign and nothing else.
void refuseEC(const ZEPKRYKey& key) {
    if (key.getAlgorithm() == ZEPKRYKey::ALGORITHM_EC)
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_SUPPORTED, "EC keys cannot encrypt or decrypt.");
}

}  // namespace

PKCS11KRYAlgorithmFactory::PKCS11KRYAlgorithmFactory(SlotManager& slotManager)
    : slot_(std::make_unique<SlotManager>(slotManager)) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::PKCS11KRYAlgorithmFactory()");
}

PKCS11KRYAlgorithmFactory::PKCS11KRYAlgorithmFactory(const PKCS11KRYAlgorithmFactory& other)
    : ZEPKRYAlgorithmFactory(other), slot_(std::make_unique<SlotManager>(*other.slot_)) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::PKCS11KRYAlgorithmFactory()");
}

PKCS11KRYAlgorithmFactory::~PKCS11KRYAlgorithmFactory() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::~PKCS11KRYAlgorithmFactory()");
}

ZEPKRYAlgorithmFactory* PKCS11KRYAlgorithmFactory::duplicate() const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::duplicate()");
    return new PKCS11KRYAlgorithmFactory(*this);
}

ZEPKRYRandomDataGenAlgorithm* PKCS11KRYAlgorithmFactory::make_Default_RandomDataGenAlgorithm(
    const r_buffer_t* seed) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_Default_RandomDataGenAlgorithm()");
    return new PKCS11KRYRandomDataGenAlgorithm(slot_.get(), seed);
}

ZEPKRYPublicKeyGenAlgorithm* PKCS11KRYAlgorithmFactory::make_RSA_PublicKeyGenAlgorithm(unsigned int keyBits) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_RSA_PublicKeyGenAlgorithm()");
    return new PKCS11KRYPublicKeyGenAlgorithm(PKCS11KRYPublicKeyGenAlgorithm::RSA, slot_.get(), keyBits);
}

ZEPKRYPublicKeyGenAlgorithm* PKCS11KRYAlgorithmFactory::make_EC_PublicKeyGenAlgorithm(const ZEPECCurve& curve) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_EC_PublicKeyGenAlgorithm()");
    return new PKCS11KRYPublicKeyGenAlgorithm(slot_.get(), curve);
}

// No digests on the token: a null answer makes the toolkit's digest helpers
// use the toolkit's own.
ZEPKRYDigestAlgorithm* PKCS11KRYAlgorithmFactory::make_MD5_DigestAlgorithm() const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_MD5_DigestAlgorithm()");
    return nullptr;
}

ZEPKRYDigestAlgorithm* PKCS11KRYAlgorithmFactory::make_SHA1_DigestAlgorithm() const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_SHA1_DigestAlgorithm()");
    return nullptr;
}

ZEPKRYSignatureAlgorithm* PKCS11KRYAlgorithmFactory::signatureAlgorithm(uint32_t kind,
                                                                       const ZEPKRYKey& privateKey) const {
    if (!staysOnToken(privateKey)) return nullptr;
    // ECDSA needs an EC key, and an EC key makes no RSA signature.
    using Kind = PKCS11KRYSignatureAlgorithm::Kind;
    const bool ecdsa =
        kind == Kind::ECDSA_WITH_SHA256 || kind == Kind::ECDSA_WITH_SHA384 || kind == Kind::ECDSA_WITH_SHA512;
    if (ecdsa != (privateKey.getAlgorithm() == ZEPKRYKey::ALGORITHM_EC))
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_SUPPORTED,
                                 ecdsa ? "ECDSA signatures need an EC key." : "EC keys make no RSA signatures.");
    return new PKCS11KRYSignatureAlgorithm(kind, slot_.get(), privateKey);
}

ZEPKRYSignatureAlgorithm* PKCS11KRYAlgorithmFactory::make_MD5WithRSA_SignatureAlgorithm(
    const ZEPKRYKey& privateKey) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_MD5WithRSA_SignatureAlgorithm()");
    return signatureAlgorithm(PKCS11KRYSignatureAlgorithm::MD5_WITH_RSA, privateKey);
}

ZEPKRYSignatureAlgorithm* PKCS11KRYAlgorithmFactory::make_SHA1WithRSA_SignatureAlgorithm(
    const ZEPKRYKey& privateKey) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_SHA1WithRSA_SignatureAlgorithm()");
    return signatureAlgorithm(PKCS11KRYSignatureAlgorithm::SHA1_WITH_RSA, privateKey);
}

ZEPKRYSignatureAlgorithm* PKCS11KRYAlgorithmFactory::make_SHA224WithRSA_SignatureAlgorithm(
    const ZEPKRYKey& privateKey) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_SHA224WithRSA_SignatureAlgorithm()");
    return signatureAlgorithm(PKCS11KRYSignatureAlgorithm::SHA224_WITH_RSA, privateKey);
}

ZEPKRYSignatureAlgorithm* PKCS11KRYAlgorithmFactory::make_SHA256WithRSA_SignatureAlgorithm(
    const ZEPKRYKey& privateKey) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_SHA256WithRSA_SignatureAlgorithm()");
    return signatureAlgorithm(PKCS11KRYSignatureAlgorithm::SHA256_WITH_RSA, privateKey);
}

ZEPKRYSignatureAlgorithm* PKCS11KRYAlgorithmFactory::make_SHA384WithRSA_SignatureAlgorithm(
    const ZEPKRYKey& privateKey) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_SHA384WithRSA_SignatureAlgorithm()");
    return signatureAlgorithm(PKCS11KRYSignatureAlgorithm::SHA384_WITH_RSA, privateKey);
}

ZEPKRYSignatureAlgorithm* PKCS11KRYAlgorithmFactory::make_SHA512WithRSA_SignatureAlgorithm(
    const ZEPKRYKey& privateKey) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_SHA512WithRSA_SignatureAlgorithm()");
    return signatureAlgorithm(PKCS11KRYSignatureAlgorithm::SHA512_WITH_RSA, privateKey);
}

ZEPKRYSignatureAlgorithm* PKCS11KRYAlgorithmFactory::make_SHA256WithRSAPSS_SignatureAlgorithm(
    const ZEPKRYKey& privateKey) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_SHA256WithRSAPSS_SignatureAlgorithm()");
    return signatureAlgorithm(PKCS11KRYSignatureAlgorithm::SHA256_WITH_RSA_PSS, privateKey);
}

ZEPKRYSignatureAlgorithm* PKCS11KRYAlgorithmFactory::make_SHA384WithRSAPSS_SignatureAlgorithm(
    const ZEPKRYKey& privateKey) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_SHA384WithRSAPSS_SignatureAlgorithm()");
    return signatureAlgorithm(PKCS11KRYSignatureAlgorithm::SHA384_WITH_RSA_PSS, privateKey);
}

ZEPKRYSignatureAlgorithm* PKCS11KRYAlgorithmFactory::make_SHA512WithRSAPSS_SignatureAlgorithm(
    const ZEPKRYKey& privateKey) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_SHA512WithRSAPSS_SignatureAlgorithm()");
    return signatureAlgorithm(PKCS11KRYSignatureAlgorithm::SHA512_WITH_RSA_PSS, privateKey);
}

ZEPKRYSignatureAlgorithm* PKCS11KRYAlgorithmFactory::make_ECDSAWithSHA256_SignatureAlgorithm(
    const ZEPKRYKey& privateKey) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_ECDSAWithSHA256_SignatureAlgorithm()");
    return signatureAlgorithm(PKCS11KRYSignatureAlgorithm::ECDSA_WITH_SHA256, privateKey);
}

ZEPKRYSignatureAlgorithm* PKCS11KRYAlgorithmFactory::make_ECDSAWithSHA384_SignatureAlgorithm(
    const ZEPKRYKey& privateKey) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_ECDSAWithSHA384_SignatureAlgorithm()");
    return signatureAlgorithm(PKCS11KRYSignatureAlgorithm::ECDSA_WITH_SHA384, privateKey);
}

ZEPKRYSignatureAlgorithm* PKCS11KRYAlgorithmFactory::make_ECDSAWithSHA512_SignatureAlgorithm(
    const ZEPKRYKey& privateKey) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_ECDSAWithSHA512_SignatureAlgorithm()");
    return signatureAlgorithm(PKCS11KRYSignatureAlgorithm::ECDSA_WITH_SHA512, privateKey);
}

// No verification on the token: it needs only the public key, which is no
// secret, so hosts verify with the toolkit.
ZEPKRYVerificationAlgorithm* PKCS11KRYAlgorithmFactory::make_MD5WithRSA_VerificationAlgorithm(
    const ZEPKRYKey&) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_MD5WithRSA_VerificationAlgorithm()");
    return nullptr;
}

ZEPKRYVerificationAlgorithm* PKCS11KRYAlgorithmFactory::make_SHA1WithRSA_VerificationAlgorithm(
    const ZEPKRYKey&) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_SHA1WithRSA_VerificationAlgorithm()");
    return nullptr;
}

ZEPKRYEncryptionAlgorithm* PKCS11KRYAlgorithmFactory::make_RSAPKCS_EncryptionAlgorithm(const ZEPKRYKey& key) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_RSAPKCS_EncryptionAlgorithm()");
    if (!staysOnToken(key)) return nullptr;
    refuseEC(key);
    return new PKCS11KRYEncryptionAlgorithm(0, slot_.get(), key);
}

ZEPKRYDecryptionAlgorithm* PKCS11KRYAlgorithmFactory::make_RSAPKCS_DecryptionAlgorithm(const ZEPKRYKey& key,
                                                                                       const r_buffer_t*) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYAlgorithmFactory::make_RSAPKCS_DecryptionAlgorithm()");
    if (!staysOnToken(key)) return nullptr;
    refuseEC(key);
    return new PKCS11KRYDecryptionAlgorithm(0, slot_.get(), key);
}

bool PKCS11KRYAlgorithmFactory::isKindOf(const ZEPString& className) const {
    return className.compare(getClassName()) == 0 || ZEPKRYAlgorithmFactory::isKindOf(className);
}

ZEPString PKCS11KRYAlgorithmFactory::getInstanceName() const { return getClassName(); }
