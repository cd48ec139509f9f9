#include "slotmanager.h"

#include "errorcodes.h"
#include "pkcs11client.h"
#include "pkcs11manager.h"
#include "zepplatform.h"
#include "zeptrace.h"

struct SlotManager::State {
    int32_t referenceCount = 1;
    CK_SLOT_ID slotId = 0;
    std::unique_ptr<PKCS11Manager> manager;  // keeps the library loaded
    PKCS11Client* client = nullptr;
    CK_SESSION_HANDLE session = 0;
    ZEPMutex mutex;
    std::atomic<int32_t> sessionType{0};
};

SlotManager::SlotManager(PKCS11Manager& manager, CK_SLOT_ID slotId) : state_(new State) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::SlotManager()");
    try {
        state_->manager = std::make_unique<PKCS11Manager>(manager);
    } catch (...) {
        delete state_;
        throw;
    }
    state_->client = state_->manager->getClient();
    state_->slotId = slotId;
}

SlotManager::SlotManager(const SlotManager& other) : ZEPSlotManager(other), state_(other.state_) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::SlotManager(SlotManager&)");
    zep_atomic_swap(&state_->referenceCount, 1);
}

SlotManager::~SlotManager() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::~SlotManager()");
    if (zep_atomic_swap(&state_->referenceCount, -1) != 1) return;
    if (state_->session != 0) {
        try {
            state_->client->closeSession(state_->session);
        } catch (const ZEPException& e) {
            // The session is gone either way; the state is freed below.
            ZEP_TRACE_INFO(MODULE_TRACE, std::string("Closing the session failed: ") + e.what());
        }
    }
    delete state_;
}

ZEPSlotManager* SlotManager::duplicate() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::duplicate()");
    return new SlotManager(*this);
}

PKCS11Client* SlotManager::getClient() const { return state_->client; }

CK_SESSION_HANDLE& SlotManager::getSessionHandle() const { return state_->session; }

SlotLock SlotManager::lockSlot() const { return SlotLock(state_->mutex); }

int SlotManager::getSessionType() const { return state_->sessionType; }

void SlotManager::openSession() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::openSession()");
    SlotLock lock = lockSlot();
    if (state_->session == 0)
        state_->client->openSession(getSlotId(), state_->sessionType != 0 ? CKF_RW_SESSION : 0, state_->session);
}

void SlotManager::setSessionType(int sessionType) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::setSessionType(type)");
    // Once a slot manager was asked for type 1, it keeps it.
    int32_t current = state_->sessionType;
    while (current != 1 && !state_->sessionType.compare_exchange_weak(current, sessionType)) {
    }
}

CK_TOKEN_INFO SlotManager::tokenInfo() {
    CK_TOKEN_INFO info = {};
    state_->client->getTokenInfo(getSlotId(), &info);
    return info;
}

CK_STATE SlotManager::sessionState() {
    CK_SESSION_INFO info = {};
    state_->client->getSessionInfo(state_->session, &info);
    return info.state;
}

ZEPBuffer SlotManager::pinToSend(const CK_TOKEN_INFO& token, const ZEPBuffer& pin) {
    return (token.flags & CKF_PROTECTED_AUTHENTICATION_PATH) ? ZEPBuffer() : pin;
}

bool SlotManager::isReadOnly() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::isReadOnly()");
    return (tokenInfo().flags & CKF_WRITE_PROTECTED) != 0;
}

bool SlotManager::isTokenPresent() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::isTokenPresent()");
    CK_SLOT_INFO info = {};
    state_->client->getSlotInfo(getSlotId(), &info);
    return (info.flags & CKF_TOKEN_PRESENT) != 0;
}

bool SlotManager::isLoginRequired() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::isLoginRequired()");
    if (!(tokenInfo().flags & CKF_LOGIN_REQUIRED)) return false;
    openSession();
    CK_STATE state = sessionState();
    return state != CKS_RO_USER_FUNCTIONS && state != CKS_RW_USER_FUNCTIONS;
}

bool SlotManager::isOpenedForWriting() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::isOpenedForWriting()");
    if (tokenInfo().flags & CKF_WRITE_PROTECTED) return false;
    openSession();
    return sessionState() == CKS_RW_USER_FUNCTIONS;
}

void SlotManager::login(const ZEPBuffer& pin) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::login()");
    ZEPBuffer toSend = pinToSend(tokenInfo(), pin);
    if (isLoginRequired()) state_->client->login(state_->session, CKU_USER, toSend);
}

void SlotManager::logout() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::logout()");
    if (!isLoginRequired()) state_->client->logout(state_->session);
}

void SlotManager::setPassword(const ZEPBuffer& oldPin, const ZEPBuffer& newPin) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::setPassword()");
    openSession();
    CK_TOKEN_INFO token = tokenInfo();
    state_->client->setPin(state_->session, pinToSend(token, oldPin), pinToSend(token, newPin));
}

void SlotManager::initToken(const ZEPBuffer& soPin, const ZEPString& label) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::initToken()");
    state_->client->initToken(getSlotId(), pinToSend(tokenInfo(), soPin), label);
}

void SlotManager::initPassword(const ZEPBuffer& soPin, const ZEPBuffer& userPin) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::initPassword()");
    CK_TOKEN_INFO token = tokenInfo();
    ZEPBuffer soPinToSend = pinToSend(token, soPin);
    ZEPBuffer userPinToSend = pinToSend(token, userPin);
    SlotLock lock = lockSlot();
    PKCS11Client& client = *state_->client;
    client.openSession(getSlotId(), CKF_RW_SESSION | CKF_SERIAL_SESSION, state_->session);
    client.login(state_->session, CKU_SO, soPinToSend);
    client.initPin(state_->session, userPinToSend);
    client.logout(state_->session);
    client.closeSession(state_->session);
}

ZEPString SlotManager::getLabel() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getLabel()");
    CK_TOKEN_INFO token = tokenInfo();
    return ZEPString(reinterpret_cast<const char*>(token.label), sizeof token.label);
}

CK_SLOT_ID SlotManager::getSlotId() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getSlotId()");
    return state_->slotId;
}

bool SlotManager::isKindOf(const ZEPString& className) const {
    return className.compare(getClassName()) == 0 || ZEPSlotManager::isKindOf(className);
}

ZEPString SlotManager::getInstanceName() const { return getClassName(); }

ZEPKRYAlgorithmFactory* SlotManager::getZEPKRYAlgorithmFactory() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getZEPKRYAlgorithmFactory()");
    openSession();
    notYetAvailable("The token-backed algorithm factory");
}

void SlotManager::notYetAvailable(const char* operation) {
    throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_SUPPORTED, ZEPString(operation) + " is not yet available");
}

// The key database's listing, lookup and writing operations follow in
// their own files as they are built.
ZEPSlotManager::Iterator* SlotManager::getKeyIterator() { notYetAvailable("getKeyIterator"); }
ZEPSlotManager::Iterator* SlotManager::getCertIterator() { notYetAvailable("getCertIterator"); }
ZEPSlotManager::Iterator* SlotManager::getKeyCertIterator() { notYetAvailable("getKeyCertIterator"); }
ZEPSlotManager::Iterator* SlotManager::getKeyCertReqIterator() { notYetAvailable("getKeyCertReqIterator"); }
ZEPKeyItem* SlotManager::getNextKeyItem(Iterator&) { notYetAvailable("getNextKeyItem"); }
ZEPCertItem* SlotManager::getNextCertItem(Iterator&) { notYetAvailable("getNextCertItem"); }
ZEPKeyCertItem* SlotManager::getNextKeyCertItem(Iterator&) { notYetAvailable("getNextKeyCertItem"); }
ZEPKeyCertReqItem* SlotManager::getNextKeyCertReqItem(Iterator&) { notYetAvailable("getNextKeyCertReqItem"); }
ZEPKeyCertReqItem* SlotManager::getItem(KeyCertReqUniqueIndex, const asn_object&) { notYetAvailable("getItem"); }
ZEPKeyCertItem* SlotManager::getItem(KeyCertUniqueIndex, const asn_object&) { notYetAvailable("getItem"); }
ZEPCertItem* SlotManager::getItem(CertUniqueIndex, const asn_object&) { notYetAvailable("getItem"); }
ZEPKeyItem* SlotManager::getItem(KeyUniqueIndex, const asn_object&) { notYetAvailable("getItem"); }
ZEPKeyCertReqItemContainer* SlotManager::getItems(KeyCertReqMultiIndex, const asn_object&) {
    notYetAvailable("getItems");
}
ZEPKeyCertItemContainer* SlotManager::getItems(KeyCertMultiIndex, const asn_object&) { notYetAvailable("getItems"); }
ZEPCertItemContainer* SlotManager::getItems(CertMultiIndex, const asn_object&) { notYetAvailable("getItems"); }
ZEPKeyItemContainer* SlotManager::getItems(KeyMultiIndex, const asn_object&) { notYetAvailable("getItems"); }
unsigned int SlotManager::getItemCount(KeyCertReqMultiIndex, const asn_object&) { notYetAvailable("getItemCount"); }
unsigned int SlotManager::getItemCount(KeyCertMultiIndex, const asn_object&) { notYetAvailable("getItemCount"); }
unsigned int SlotManager::getItemCount(CertMultiIndex, const asn_object&) { notYetAvailable("getItemCount"); }
unsigned int SlotManager::getItemCount(KeyMultiIndex, const asn_object&) { notYetAvailable("getItemCount"); }
bool SlotManager::insertItem(const ZEPKeyCertReqItem&) { notYetAvailable("insertItem"); }
bool SlotManager::insertItem(const ZEPKeyCertItem&) { notYetAvailable("insertItem"); }
bool SlotManager::insertItem(const ZEPCertItem&) { notYetAvailable("insertItem"); }
bool SlotManager::insertItem(const ZEPKeyItem&) { notYetAvailable("insertItem"); }
bool SlotManager::updateItem(const ZEPKeyCertReqItem&, const ZEPCertItem&) { notYetAvailable("updateItem"); }
bool SlotManager::updateItem(const ZEPKeyCertReqItem&, const ZEPKeyCertReqItem&) { notYetAvailable("updateItem"); }
bool SlotManager::updateItem(const ZEPKeyCertItem&, const ZEPKeyCertItem&) { notYetAvailable("updateItem"); }
bool SlotManager::updateItem(const ZEPCertItem&, const ZEPCertItem&) { notYetAvailable("updateItem"); }
bool SlotManager::updateItem(const ZEPKeyItem&, const ZEPKeyItem&) { notYetAvailable("updateItem"); }
bool SlotManager::deleteItem(KeyCertReqUniqueIndex, const asn_object&) { notYetAvailable("deleteItem"); }
bool SlotManager::deleteItem(KeyCertUniqueIndex, const asn_object&) { notYetAvailable("deleteItem"); }
bool SlotManager::deleteItem(CertUniqueIndex, const asn_object&) { notYetAvailable("deleteItem"); }
bool SlotManager::deleteItem(KeyUniqueIndex, const asn_object&) { notYetAvailable("deleteItem"); }
bool SlotManager::deleteItem(const ZEPKeyCertReqItem&) { notYetAvailable("deleteItem"); }
bool SlotManager::deleteItem(const ZEPKeyCertItem&) { notYetAvailable("deleteItem"); }
bool SlotManager::deleteItem(const ZEPCertItem&) { notYetAvailable("deleteItem"); }
bool SlotManager::deleteItem(const ZEPKeyItem&) { notYetAvailable("deleteItem"); }
ZEPDeleteResult SlotManager::deleteItems(KeyCertReqMultiIndex, const asn_object&) { notYetAvailable("deleteItems"); }
ZEPDeleteResult SlotManager::deleteItems(KeyCertMultiIndex, const asn_object&) { notYetAvailable("deleteItems"); }
ZEPDeleteResult SlotManager::deleteItems(CertMultiIndex, const asn_object&) { notYetAvailable("deleteItems"); }
ZEPDeleteResult SlotManager::deleteItems(KeyMultiIndex, const asn_object&) { notYetAvailable("deleteItems"); }
