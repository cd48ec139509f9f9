#include "pkcs11krysignaturealgorithm.h"

#include <optional>

#include "asn/zepecdsasignature.h"
#include "errorcodes.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrydigesttype.h"
#include "mechanisminfolist.h"
#include "pkcs11client.h"
#include "slotmanager.h"
#include "tokencache.h"
#include "zeptrace.h"

namespace {

using DigestMaker = ZEPKRYDigestAlgorithm* (ZEPKRYAlgorithmFactory::*)() const;

struct KindFacts {
    // The mechanism that digests and signs in one, and the one that signs
    // what it is given when the token lacks the first.
    CK_MECHANISM_TYPE combined;
    CK_MECHANISM_TYPE bare;
    std::optional<ZEPKRYDigestType> digest;
    // Of RSA-PSS: the digest and mask generation function the token is told.
    CK_MECHANISM_TYPE pssHash;
    CK_RSA_PKCS_MGF_TYPE mgf;
    // The toolkit digest that the parts of a multi-part signature feed
    // under the bare mechanism. MD5 and SHA-1 have none: their parts go to
    // the token as given, and it decides whether it takes them.
    DigestMaker makeDigest;
};

const KindFacts& factsOf(uint32_t kind) {
    using Digest = ZEPKRYDigestType;
    using Factory = ZEPKRYAlgorithmFactory;
    static const KindFacts facts[] = {
        {CKM_MD5_RSA_PKCS, CKM_RSA_PKCS, Digest::MD5, 0, 0, nullptr},
        {CKM_SHA1_RSA_PKCS, CKM_RSA_PKCS, Digest::SHA1, 0, 0, nullptr},
        {CKM_RSA_PKCS, CKM_RSA_PKCS, std::nullopt, 0, 0, nullptr},
        {CKM_SHA224_RSA_PKCS, CKM_RSA_PKCS, Digest::SHA224, 0, 0, &Factory::make_SHA224_DigestAlgorithm},
        {CKM_SHA256_RSA_PKCS, CKM_RSA_PKCS, Digest::SHA256, 0, 0, &Factory::make_SHA256_DigestAlgorithm},
        {CKM_SHA384_RSA_PKCS, CKM_RSA_PKCS, Digest::SHA384, 0, 0, &Factory::make_SHA384_DigestAlgorithm},
        {CKM_SHA512_RSA_PKCS, CKM_RSA_PKCS, Digest::SHA512, 0, 0, &Factory::make_SHA512_DigestAlgorithm},
        {CKM_SHA256_RSA_PKCS_PSS, CKM_RSA_PKCS_PSS, Digest::SHA256, CKM_SHA256, CKG_MGF1_SHA256,
         &Factory::make_SHA256_DigestAlgorithm},
        {CKM_SHA384_RSA_PKCS_PSS, CKM_RSA_PKCS_PSS, Digest::SHA384, CKM_SHA384, CKG_MGF1_SHA384,
         &Factory::make_SHA384_DigestAlgorithm},
        {CKM_SHA512_RSA_PKCS_PSS, CKM_RSA_PKCS_PSS, Digest::SHA512, CKM_SHA512, CKG_MGF1_SHA512,
         &Factory::make_SHA512_DigestAlgorithm},
        {CKM_ECDSA_SHA256, CKM_ECDSA, Digest::SHA256, 0, 0, &Factory::make_SHA256_DigestAlgorithm},
        {CKM_ECDSA_SHA384, CKM_ECDSA, Digest::SHA384, 0, 0, &Factory::make_SHA384_DigestAlgorithm},
        {CKM_ECDSA_SHA512, CKM_ECDSA, Digest::SHA512, 0, 0, &Factory::make_SHA512_DigestAlgorithm},
    };
    return facts[kind];
}

}  // namespace

PKCS11KRYSignatureAlgorithm::PKCS11KRYSignatureAlgorithm(uint32_t kind, SlotManager* slotManager,
                                                         const ZEPKRYKey& key)
    : kind_(kind), key_(*slotManager, key) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYSignatureAlgorithm::PKCS11KRYSignatureAlgorithm()");
}

PKCS11KRYSignatureAlgorithm::~PKCS11KRYSignatureAlgorithm() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYSignatureAlgorithm::PKCS11KRYSignatureAlgorithm()");
}

bool PKCS11KRYSignatureAlgorithm::isKindOf(const ZEPString& className) const {
    return className.compare(getClassName()) == 0 || ZEPKRYSignatureAlgorithm::isKindOf(className);
}

ZEPString PKCS11KRYSignatureAlgorithm::getInstanceName() const { return getClassName(); }

CK_MECHANISM_TYPE PKCS11KRYSignatureAlgorithm::chooseMechanism() {
    const KindFacts& facts = factsOf(kind_);
    const auto mechanisms = key_.slot().getTokenCache().mechanisms(key_.slot());
    if (facts.combined != facts.bare && mechanisms->contains(facts.combined)) return facts.combined;
    signsDigest_ = true;
    return facts.bare;
}

CK_MECHANISM PKCS11KRYSignatureAlgorithm::mechanism(CK_RSA_PKCS_PSS_PARAMS& pss) {
    const KindFacts& facts = factsOf(kind_);
    CK_MECHANISM mechanism = {chooseMechanism(), nullptr, 0};
    if (facts.bare == CKM_RSA_PKCS_PSS) {
        pss = {facts.pssHash, facts.mgf, facts.digest->getLength()};
        mechanism.pParameter = &pss;
        mechanism.ulParameterLen = sizeof pss;
    }
    return mechanism;
}

void PKCS11KRYSignatureAlgorithm::start(std::unique_lock<std::mutex>& sessionLock) {
    CK_RSA_PKCS_PSS_PARAMS pss{};
    key_.startOperation(&PKCS11Client::signInit, mechanism(pss), sessionLock);
    parts_.reset();
}

ZEPBuffer PKCS11KRYSignatureAlgorithm::toSign(const r_buffer_t& data) const {
    const KindFacts& facts = factsOf(kind_);
    if (!signsDigest_ || !facts.digest) return ZEPBuffer(data);
    return toSignDigest(facts.digest->digestData(ZEPBuffer(data)));
}

ZEPBuffer PKCS11KRYSignatureAlgorithm::toSignDigest(const ZEPBuffer& digest) const {
    const KindFacts& facts = factsOf(kind_);
    // CKM_RSA_PKCS pads what it is given: a DigestInfo signed that way is
    // the signature the combined mechanism makes. CKM_RSA_PKCS_PSS and
    // CKM_ECDSA take the digest itself.
    return facts.bare == CKM_RSA_PKCS ? facts.digest->getDigestInfo(digest) : digest;
}

ZEPBuffer PKCS11KRYSignatureAlgorithm::signatureOf(const ZEPBuffer& tokenOutput) const {
    return factsOf(kind_).bare == CKM_ECDSA ? ZEPECDSASignature::encode(tokenOutput) : tokenOutput;
}

ZEPBuffer PKCS11KRYSignatureAlgorithm::signData(const r_buffer_t& data) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYSignatureAlgorithm::signData()");
    SlotLock slotLock = key_.slot().lockSlot();
    // The mechanism first: its choice decides what toSign hands the token.
    CK_RSA_PKCS_PSS_PARAMS pss{};
    const CK_MECHANISM chosen = mechanism(pss);
    return signatureOf(key_.runOneShot(&PKCS11Client::signInit, chosen, &PKCS11Client::sign, toSign(data)));
}

void PKCS11KRYSignatureAlgorithm::signDataInit() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYSignatureAlgorithm::signDataInit()");
    std::unique_lock<std::mutex> sessionLock;
    start(sessionLock);
    const KindFacts& facts = factsOf(kind_);
    if (signsDigest_ && facts.makeDigest != nullptr) {
        parts_.reset((ZEPKRYAlgorithmFactory().*facts.makeDigest)());
        parts_->digestDataInit();
    }
}

void PKCS11KRYSignatureAlgorithm::signDataUpdate(const r_buffer_t& data) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYSignatureAlgorithm::signDataUpdate()");
    if (parts_) {
        parts_->digestDataUpdate(data);
        return;
    }
    key_.client().signUpdate(key_.session(), ZEPBuffer(data));
}

ZEPBuffer PKCS11KRYSignatureAlgorithm::signDataFinal() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYSignatureAlgorithm::signDataFinal()");
    if (parts_) {
        const ZEPBuffer digest = parts_->digestDataFinal();
        parts_.reset();
        return signDataFinal(toSignDigest(digest));
    }
    ZEPBuffer signature;
    key_.client().signFinal(key_.session(), signature);
    return signatureOf(signature);
}

ZEPBuffer PKCS11KRYSignatureAlgorithm::signDataFinal(const ZEPBuffer& data) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYSignatureAlgorithm::signDataFinal()");
    ZEPBuffer signature;
    key_.client().sign(key_.session(), data, signature);
    return signatureOf(signature);
}
