#include "pkcs11krydecryptionalgorithm.h"

#include "errorcodes.h"
#include "pkcs11client.h"
#include "slotmanager.h"
#include "zeptrace.h"

PKCS11KRYDecryptionAlgorithm::PKCS11KRYDecryptionAlgorithm(uint32_t, SlotManager* slotManager,
                                                           const ZEPKRYKey& key)
    : key_(*slotManager, key) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYDecryptionAlgorithm::PKCS11KRYDecryptionAlgorithm()");
}

PKCS11KRYDecryptionAlgorithm::~PKCS11KRYDecryptionAlgorithm() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYDecryptionAlgorithm::PKCS11KRYDecryptionAlgorithm()");
}

bool PKCS11KRYDecryptionAlgorithm::isKindOf(const ZEPString& className) const {
    return className.compare(getClassName()) == 0 || ZEPKRYDecryptionAlgorithm::isKindOf(className);
}

ZEPString PKCS11KRYDecryptionAlgorithm::getInstanceName() const { return getClassName(); }

ZEPBuffer PKCS11KRYDecryptionAlgorithm::decryptData(const r_buffer_t& data) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYDecryptionAlgorithm::decryptData()");
    SlotLock slotLock = key_.slot().lockSlot();
    return key_.runOneShot(&PKCS11Client::decryptInit, {CKM_RSA_PKCS, nullptr, 0}, &PKCS11Client::decrypt, ZEPBuffer(data));
}

void PKCS11KRYDecryptionAlgorithm::decryptDataInit() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYDecryptionAlgorithm::decryptDataInit()");
    std::unique_lock<std::mutex> sessionLock;
    key_.startOperation(&PKCS11Client::decryptInit, {CKM_RSA_PKCS, nullptr, 0}, sessionLock);
}

ZEPBuffer PKCS11KRYDecryptionAlgorithm::decryptDataUpdate(const r_buffer_t& data) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYDecryptionAlgorithm::decryptDataUpdate()");
    ZEPBuffer output;
    key_.client().decryptUpdate(key_.session(), ZEPBuffer(data), output);
    return output;
}

ZEPBuffer PKCS11KRYDecryptionAlgorithm::decryptDataFinal() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYDecryptionAlgorithm::decryptDataFinal()");
    ZEPBuffer output;
    key_.client().decryptFinal(key_.session(), output);
    return output;
}

ZEPBuffer PKCS11KRYDecryptionAlgorithm::decryptData(const ZEPBuffer& data) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYDecryptionAlgorithm::decryptData()");
    ZEPBuffer output;
    key_.client().decrypt(key_.session(), data, output);
    return output;
}
