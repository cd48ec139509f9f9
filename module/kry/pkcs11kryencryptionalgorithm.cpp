#include "pkcs11kryencryptionalgorithm.h"

#include "errorcodes.h"
#include "mechanisminfolist.h"
#include "pkcs11client.h"
#include "pkcs11krysignaturealgorithm.h"
#include "slotmanager.h"
#include "tokencache.h"
#include "zeptrace.h"

namespace {

// An MD5 and a SHA-1 digest side by side, as SSL 3.0 and TLS 1.0 sign them.
// Hosts "encrypt" them with the private key to sign; tokens offer that raw
// private-key operation as CKM_RSA_PKCS signing, not as encryption.
constexpr unsigned int kDigestPairLength = 36;

}  // namespace

PKCS11KRYEncryptionAlgorithm::PKCS11KRYEncryptionAlgorithm(uint32_t, SlotManager* slotManager,
                                                           const ZEPKRYKey& key)
    : key_(*slotManager, key) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYEncryptionAlgorithm::PKCS11KRYEncryptionAlgorithm()");
}

PKCS11KRYEncryptionAlgorithm::~PKCS11KRYEncryptionAlgorithm() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYEncryptionAlgorithm::PKCS11KRYEncryptionAlgorithm()");
}

bool PKCS11KRYEncryptionAlgorithm::isKindOf(const ZEPString& className) const {
    return className.compare(getClassName()) == 0 || ZEPKRYEncryptionAlgorithm::isKindOf(className);
}

ZEPString PKCS11KRYEncryptionAlgorithm::getInstanceName() const { return getClassName(); }

ZEPBuffer PKCS11KRYEncryptionAlgorithm::encryptData(const r_buffer_t& data) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYEncryptionAlgorithm::encryptData()");
    const auto mechanisms = key_.slot().getTokenCache().mechanisms(key_.slot());
    if (mechanisms->supportsSign(CATEGORY_RSA) && data.len == kDigestPairLength)
        return PKCS11KRYSignatureAlgorithm(PKCS11KRYSignatureAlgorithm::RAW_RSA, &key_.slot(), key_.key())
            .signData(data);
    SlotLock slotLock = key_.slot().lockSlot();
    return key_.runOneShot(&PKCS11Client::encryptInit, {CKM_RSA_PKCS, nullptr, 0}, &PKCS11Client::encrypt, ZEPBuffer(data));
}

void PKCS11KRYEncryptionAlgorithm::encryptDataInit() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYEncryptionAlgorithm::encryptDataInit()");
    std::unique_lock<std::mutex> sessionLock;
    key_.startOperation(&PKCS11Client::encryptInit, {CKM_RSA_PKCS, nullptr, 0}, sessionLock);
}

ZEPBuffer PKCS11KRYEncryptionAlgorithm::encryptDataUpdate(const r_buffer_t& data) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYEncryptionAlgorithm::encryptDataUpdate()");
    ZEPBuffer output;
    key_.client().encryptUpdate(key_.session(), ZEPBuffer(data), output);
    return output;
}

ZEPBuffer PKCS11KRYEncryptionAlgorithm::encryptDataFinal() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYEncryptionAlgorithm::encryptDataFinal()");
    ZEPBuffer output;
    key_.client().encryptFinal(key_.session(), output);
    return output;
}

ZEPBuffer PKCS11KRYEncryptionAlgorithm::encryptDataFinal(const ZEPBuffer& data) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYEncryptionAlgorithm::encryptDataFinal()");
    ZEPBuffer output;
    key_.client().encrypt(key_.session(), data, output);
    return output;
}

const ZEPBuffer* PKCS11KRYEncryptionAlgorithm::getKeyRecoveryBlock() const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11KRYEncryptionAlgorithm::getKeyRecoveryBlock()");
    return nullptr;
}
