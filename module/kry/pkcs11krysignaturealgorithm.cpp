#include "pkcs11krysignaturealgorithm.h"

#include "asn/digestinfo.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "errorcodes.h"
#include "kry/zepasncheck.h"
#include "kry/zepkryutility.h"
#include "mechanisminfolist.h"
#include "pkcs11client.h"
#include "slotmanager.h"
#include "tokencache.h"
#include "zeptrace.h"

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
    const auto mechanisms = key_.slot().getTokenCache().mechanisms(key_.slot());
    const CK_MECHANISM_TYPE combined = kind_ == MD5_WITH_RSA    ? CKM_MD5_RSA_PKCS
                                       : kind_ == SHA1_WITH_RSA ? CKM_SHA1_RSA_PKCS
                                                                : CKM_RSA_PKCS;
    if (combined != CKM_RSA_PKCS && mechanisms->contains(combined)) return combined;
    digestInfoMode_ = true;
    return CKM_RSA_PKCS;
}

void PKCS11KRYSignatureAlgorithm::start(std::unique_lock<std::mutex>& sessionLock) {
    key_.startOperation(&PKCS11Client::signInit, chooseMechanism(), sessionLock);
}

ZEPBuffer PKCS11KRYSignatureAlgorithm::toSign(const r_buffer_t& data) const {
    if (!digestInfoMode_ || kind_ == RAW_RSA) return ZEPBuffer(data);
    // CKM_RSA_PKCS pads what it is given: a DigestInfo signed that way is
    // the signature the combined mechanism makes.
    const bool md5 = kind_ == MD5_WITH_RSA;
    DigestInfo info;
    zep_asn_check(ZEP_HERE, md5 ? info.digestAlgorithm.set_value_with_null(ZEPASNOID::VALUE_MD5DigestAlgorithm,
                                                                           ZEPASNOID::VALUE_MD5DigestAlgorithm_COUNT)
                                : info.digestAlgorithm.set_value_with_null(ZEPASNOID::VALUE_SHA1DigestAlgorithm,
                                                                           ZEPASNOID::VALUE_SHA1DigestAlgorithm_COUNT));
    const ZEPBuffer bytes(data);
    zep_asn_check(ZEP_HERE, info.digest.set_value(md5 ? ZEPKRYUtility::digestData_MD5(bytes, nullptr)
                                                      : ZEPKRYUtility::digestData_SHA1(bytes, nullptr)));
    return ZEPASNUtility::getDEREncoding(info);
}

ZEPBuffer PKCS11KRYSignatureAlgorithm::signData(const r_buffer_t& data) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYSignatureAlgorithm::signData()");
    SlotLock slotLock = key_.slot().lockSlot();
    const CK_MECHANISM_TYPE mechanism = chooseMechanism();
    return key_.runOneShot(&PKCS11Client::signInit, mechanism, &PKCS11Client::sign, toSign(data));
}

void PKCS11KRYSignatureAlgorithm::signDataInit() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYSignatureAlgorithm::signDataInit()");
    std::unique_lock<std::mutex> sessionLock;
    start(sessionLock);
}

void PKCS11KRYSignatureAlgorithm::signDataUpdate(const r_buffer_t& data) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYSignatureAlgorithm::signDataUpdate()");
    key_.client().signUpdate(key_.session(), ZEPBuffer(data));
}

ZEPBuffer PKCS11KRYSignatureAlgorithm::signDataFinal() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYSignatureAlgorithm::signDataFinal()");
    ZEPBuffer signature;
    key_.client().signFinal(key_.session(), signature);
    return signature;
}

ZEPBuffer PKCS11KRYSignatureAlgorithm::signDataFinal(const ZEPBuffer& data) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYSignatureAlgorithm::signDataFinal()");
    ZEPBuffer signature;
    key_.client().sign(key_.session(), data, signature);
    return signature;
}
