#include "slotmanager.h"

#include <type_traits>

#include "asn/asn_x500name.h"
#include "asn/buffer_t.h"
#include "asn/zepasnutility.h"
#include "errorcodes.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepcertitemcontainer.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertitemcontainer.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeycertreqitemcontainer.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zepkeyitemcontainer.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkrykey.h"
#include "asn/x509_certificate.h"
#include "keyrecordfinder.h"
#include "slotmanageriterator.h"
#include "tokencache.h"
#include "tokenlabel.h"
#include "pkcs11client.h"
#include "pkcs11kryalgorithmfactory.h"
#include "pkcs11manager.h"
#include "zepplatform.h"
#include "zeptrace.h"

struct SlotManager::State {
    State(PKCS11Manager& creator, CK_SLOT_ID slot)
        : slotId(slot), manager(std::make_unique<PKCS11Manager>(creator)), client(manager->getClient()) {}

    ~State() { closeSession(); }

    // Closes the session, if one is open, and never logs out. A failure is
    // only traced: the handle is 0 afterwards either way.
    void closeSession() {
        if (session == 0) return;
        try {
            client->closeSession(session);
        } catch (const ZEPException& e) {
            ZEP_TRACE_INFO(MODULE_TRACE, std::string("Closing the session failed: ") + e.what());
        }
    }

    int32_t referenceCount = 1;
    const CK_SLOT_ID slotId;
    const std::unique_ptr<PKCS11Manager> manager;  // keeps the library loaded
    PKCS11Client* const client;
    CK_SESSION_HANDLE session = 0;
    ZEPMutex mutex;
    std::atomic<int32_t> sessionType{0};
    std::atomic<uint64_t> sessionGeneration{0};
    TokenCache tokenCache;
};

SlotManager::StateRef::StateRef(std::unique_ptr<State> state) : state_(state.release()) {}

SlotManager::StateRef::StateRef(const StateRef& other) : state_(other.state_) {
    zep_atomic_swap(&state_->referenceCount, 1);
}

SlotManager::StateRef::~StateRef() {
    if (zep_atomic_swap(&state_->referenceCount, -1) == 1) delete state_;
}

SlotManager::SlotManager(PKCS11Manager& manager, CK_SLOT_ID slotId)
    : state_(std::make_unique<State>(manager, slotId)) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::SlotManager()");
}

SlotManager::SlotManager(const SlotManager& other) : ZEPSlotManager(other), state_(other.state_) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::SlotManager(SlotManager&)");
}

SlotManager::~SlotManager() { ZEP_TRACE(MODULE_TRACE, "SlotManager::~SlotManager()"); }

ZEPSlotManager* SlotManager::duplicate() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::duplicate()");
    return new SlotManager(*this);
}

PKCS11Client* SlotManager::getClient() const { return state_->client; }

CK_SESSION_HANDLE& SlotManager::getSessionHandle() const { return state_->session; }

SlotLock SlotManager::lockSlot() const { return SlotLock(state_->mutex); }

int SlotManager::getSessionType() const { return state_->sessionType; }

uint64_t SlotManager::getSessionGeneration() const { return state_->sessionGeneration; }

TokenCache& SlotManager::getTokenCache() const { return state_->tokenCache; }

void SlotManager::openSession() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::openSession()");
    SlotLock lock = lockSlot();
    if (state_->session != 0) return;
    state_->client->openSession(getSlotId(), state_->sessionType != 0 ? CKF_RW_SESSION : 0, state_->session);
    ++state_->sessionGeneration;
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
    // A new token: nothing learnt of the old one holds.
    ++state_->sessionGeneration;
}

void SlotManager::initPassword(const ZEPBuffer& soPin, const ZEPBuffer& userPin) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::initPassword()");
    CK_TOKEN_INFO token = tokenInfo();
    ZEPBuffer soPinToSend = pinToSend(token, soPin);
    ZEPBuffer userPinToSend = pinToSend(token, userPin);
    SlotLock lock = lockSlot();
    PKCS11Client& client = *state_->client;
    CK_SESSION_HANDLE& session = state_->session;
    // The session this one replaces is closed rather than left open.
    state_->closeSession();
    // Read-write and, for libraries of the first version, exclusive.
    constexpr CK_FLAGS soSessionFlags = CKF_RW_SESSION | 0x1;
    client.openSession(getSlotId(), soSessionFlags, session);
    ++state_->sessionGeneration;
    client.login(session, CKU_SO, soPinToSend);
    try {
        client.initPin(session, userPinToSend);
        client.logout(session);
    } catch (...) {
        // The shared session must never stay a security officer's session.
        try {
            client.logout(session);
        } catch (const ZEPException&) {
        }
        state_->closeSession();
        throw;
    }
    client.closeSession(session);
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
    return new PKCS11KRYAlgorithmFactory(*this);
}

namespace {

// What a lookup value selects: the criterion for the item makers and the
// value that filters the search.
struct Selection {
    MatchType match;
    ZEPBuffer searchValue;
};

// Unique certificate indexes: label, signature, unsigned certificate, issuer
// and serial number; any other index matches nothing.
Selection uniqueCertificateSelection(int index, const asn_object& value) {
    switch (index) {
        case 0: return {MATCH_LABEL, ZEPASNUtility::getDEREncoding(value)};
        case 1: return {MATCH_SIGNATURE, {}};
        case 2: return {MATCH_UNSIGNED_CERTIFICATE, {}};
        case 3: return {MATCH_ISSUER_AND_SERIAL, {}};
        default: return {MatchType(0), {}};
    }
}

// The DER of a subject name as the object writes it; empty when it cannot.
ZEPBuffer subjectNameDER(const asn_object& value) {
    buffer_t der;
    return value.write(der) == 0 ? der.to_buffer() : ZEPBuffer();
}

// Multi certificate indexes: subject name or subject public key info; any
// other index selects all.
Selection multiCertificateSelection(int index, const asn_object& value) {
    switch (index) {
        case 1: return {MATCH_SUBJECT_NAME, subjectNameDER(value)};
        case 2: return {MATCH_SUBJECT_PUBLIC_KEY_INFO, {}};
        default: return {MATCH_ALL, {}};
    }
}

template <typename Iterator>
Iterator& iteratorOf(ZEPSlotManager::Iterator& iterator) {
    if (!iterator.isKindOf(Iterator::getClassName()))
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::BAD_ARGUMENT, "The iterator is not compatible with the function");
    return static_cast<Iterator&>(iterator);
}

// Makes the item of the object `handle` into `item` (null when the object
// makes none); false when what the object holds makes no item
// (SlotManagerUtility::isUnreadable). Listings and lookups pass over such an
// object, with an informational trace record, instead of failing for every
// other object; a failed Cryptoki call fails them as before.
template <typename Item, typename Make>
bool madeOf(CK_OBJECT_HANDLE handle, std::unique_ptr<Item>& item, Make make) {
    try {
        item.reset(make(handle));
        return true;
    } catch (const ZEPException& failure) {
        if (!SlotManagerUtility::isUnreadable(failure)) throw;
        ZEP_TRACE_INFO(MODULE_TRACE, "Object " + std::to_string(handle) + " passed over: " +
                                         failure.getMessage().str() + " (" + std::to_string(failure.getCode()) + ")");
        return false;
    }
}

// The item of the object, or null when it makes none or is passed over.
template <typename Item, typename Make>
std::unique_ptr<Item> readable(CK_OBJECT_HANDLE handle, Make make) {
    std::unique_ptr<Item> item;
    madeOf(handle, item, make);
    return item;
}

// Visits handles from the iterator's position until `make` gives an item;
// the position moves past a handle only once it was made, gave nothing or
// was passed over.
template <typename Item, typename Make>
Item* nextItem(SlotManagerHandleIterator& iterator, Make make) {
    while (!iterator.atEnd()) {
        std::unique_ptr<Item> item = readable<Item>(iterator.current(), make);
        iterator.advance();
        if (item) return item.release();
    }
    return nullptr;
}

// The first item `make` gives of the handles in order; null when none does.
template <typename Item, typename Make>
Item* firstItem(const std::vector<CK_OBJECT_HANDLE>& handles, Make make) {
    for (CK_OBJECT_HANDLE handle : handles)
        if (std::unique_ptr<Item> item = readable<Item>(handle, make)) return item.release();
    return nullptr;
}

template <typename Container, typename Make>
Container* collect(const std::vector<CK_OBJECT_HANDLE>& handles, Make make) {
    using Item = std::remove_pointer_t<decltype(make(CK_OBJECT_HANDLE()))>;
    auto container = std::make_unique<Container>(Container::OWN_ITEMS);
    for (CK_OBJECT_HANDLE handle : handles) container->push_back(readable<Item>(handle, make).release());
    return container.release();
}

// The item of the first object of the class with the label that is not
// passed over; null when there is none.
template <typename Item, typename Make>
std::unique_ptr<Item> labelledItem(SlotManager& slot, CK_OBJECT_CLASS objectClass, const ZEPBuffer& label,
                                   Make make) {
    std::unique_ptr<Item> item;
    CK_OBJECT_HANDLE handle = 0;
    SlotManagerUtility::findItem(slot, objectClass, MATCH_LABEL, label, handle,
                                 [&](CK_OBJECT_HANDLE candidate) { return madeOf(candidate, item, make); });
    return item;
}

template <typename Container>
unsigned int countOf(Container* items) {
    std::unique_ptr<Container> owned(items);
    return static_cast<unsigned int>(owned->size());
}

}  // namespace

std::vector<CK_OBJECT_HANDLE> SlotManager::find(CK_OBJECT_CLASS objectClass, MatchType match,
                                                const ZEPBuffer& value) {
    std::vector<CK_OBJECT_HANDLE> handles;
    SlotManagerUtility::findAllItems(*this, objectClass, handles, match, value);
    return handles;
}

std::vector<CK_OBJECT_HANDLE> SlotManager::findKeys() {
    std::vector<CK_OBJECT_HANDLE> handles = find(CKO_PRIVATE_KEY, MATCH_ALL, ZEPBuffer());
    SlotManagerUtility::findAllItems(*this, CKO_PUBLIC_KEY, handles, MATCH_ALL, ZEPBuffer());
    return handles;
}

void SlotManager::requireLogin() {
    if (isLoginRequired())
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::ACCESS_DENIED, "Login is required to access private keys");
    openSession();
}

ZEPSlotManager::Iterator* SlotManager::getKeyIterator() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getKeyIterator()");
    openSession();
    return new SlotManagerKeyIterator(findKeys());
}

ZEPSlotManager::Iterator* SlotManager::getCertIterator() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getCertIterator()");
    openSession();
    return new SlotManagerCertIterator(find(CKO_CERTIFICATE, MATCH_ALL, ZEPBuffer()));
}

ZEPSlotManager::Iterator* SlotManager::getKeyCertIterator() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getKeyCertIterator()");
    openSession();
    return new SlotManagerKeyCertIterator(find(CKO_CERTIFICATE, MATCH_ALL, ZEPBuffer()));
}

ZEPSlotManager::Iterator* SlotManager::getKeyCertReqIterator() {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getKeyCertReqIterator()");
    openSession();
    return new SlotManagerKeyIterator(find(CKO_PRIVATE_KEY, MATCH_ALL, ZEPBuffer()));
}

ZEPKeyItem* SlotManager::getNextKeyItem(Iterator& iterator) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getNextKeyItem()");
    auto& keys = iteratorOf<SlotManagerKeyIterator>(iterator);
    return nextItem<ZEPKeyItem>(keys, [&](CK_OBJECT_HANDLE handle) {
        return SlotManagerUtility::makeKeyItem(*this, handle, keys.tokenLabel());
    });
}

ZEPCertItem* SlotManager::getNextCertItem(Iterator& iterator) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getNextCertItem()");
    const asn_x500name anyName;
    return nextItem<ZEPCertItem>(iteratorOf<SlotManagerCertIterator>(iterator), [&](CK_OBJECT_HANDLE handle) {
        return SlotManagerUtility::makeCertItem(*this, handle, MATCH_ALL, anyName);
    });
}

ZEPKeyCertItem* SlotManager::getNextKeyCertItem(Iterator& iterator) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getNextKeyCertItem()");
    const asn_x500name anyName;
    auto& certificates = iteratorOf<SlotManagerKeyCertIterator>(iterator);
    return nextItem<ZEPKeyCertItem>(certificates, [&](CK_OBJECT_HANDLE handle) {
        return SlotManagerUtility::makeKeyCertItem(*this, handle, MATCH_ALL, anyName, certificates.finder(),
                                                   certificates.tokenLabel());
    });
}

ZEPKeyCertReqItem* SlotManager::getNextKeyCertReqItem(Iterator& iterator) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getNextKeyCertReqItem()");
    // From the key item rather than the handle: iterating leaves the
    // requests unsigned, signing each one would cost a token signature.
    auto& privateKeys = iteratorOf<SlotManagerKeyIterator>(iterator);
    return nextItem<ZEPKeyCertReqItem>(privateKeys, [&](CK_OBJECT_HANDLE handle) {
        std::unique_ptr<ZEPKeyItem> key(SlotManagerUtility::makeKeyItem(*this, handle, privateKeys.tokenLabel()));
        return SlotManagerUtility::makeKeyCertReqItem(*this, *key, privateKeys.finder());
    });
}

ZEPKeyCertReqItem* SlotManager::getItem(KeyCertReqUniqueIndex, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getItem(KeyCertReqUniqueIndex)");
    requireLogin();
    KeyRecordFinder finder(KeyRecordFinder::Mode::search);
    TokenLabel tokenLabel;
    return labelledItem<ZEPKeyCertReqItem>(*this, CKO_PRIVATE_KEY, ZEPASNUtility::getDEREncoding(value),
                                           [&](CK_OBJECT_HANDLE handle) {
                                               return SlotManagerUtility::makeKeyCertReqItem(*this, handle, finder,
                                                                                             tokenLabel);
                                           })
        .release();
}

ZEPKeyCertItem* SlotManager::getItem(KeyCertUniqueIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getItem(KeyCertUniqueIndex)");
    requireLogin();
    Selection selection = uniqueCertificateSelection(static_cast<int>(index), value);
    KeyRecordFinder finder(KeyRecordFinder::Mode::index);
    TokenLabel tokenLabel;
    return firstItem<ZEPKeyCertItem>(
        find(CKO_CERTIFICATE, selection.match, selection.searchValue), [&](CK_OBJECT_HANDLE handle) {
            return SlotManagerUtility::makeKeyCertItem(*this, handle, selection.match, value, finder, tokenLabel);
        });
}

ZEPCertItem* SlotManager::getItem(CertUniqueIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getItem(CertUniqueIndex)");
    openSession();
    Selection selection = uniqueCertificateSelection(static_cast<int>(index), value);
    return firstItem<ZEPCertItem>(find(CKO_CERTIFICATE, selection.match, selection.searchValue),
                                  [&](CK_OBJECT_HANDLE handle) {
                                      return SlotManagerUtility::makeCertItem(*this, handle, selection.match, value);
                                  });
}

ZEPKeyItem* SlotManager::getItem(KeyUniqueIndex, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getItem(KeyUniqueIndex)");
    openSession();
    const ZEPBuffer label = ZEPASNUtility::getDEREncoding(value);
    TokenLabel tokenLabel;
    auto make = [&](CK_OBJECT_HANDLE handle) { return SlotManagerUtility::makeKeyItem(*this, handle, tokenLabel); };
    std::unique_ptr<ZEPKeyItem> key = labelledItem<ZEPKeyItem>(*this, CKO_PRIVATE_KEY, label, make);
    if (!key) key = labelledItem<ZEPKeyItem>(*this, CKO_PUBLIC_KEY, label, make);
    return key.release();
}

ZEPKeyCertReqItemContainer* SlotManager::getItems(KeyCertReqMultiIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getItem(KeyCertReqMultiIndex)");
    requireLogin();
    Selection selection = index == KeyCertReqMultiIndex::SUBJECT_NAME
                              ? Selection{MATCH_SUBJECT_NAME, ZEPASNUtility::getDEREncoding(value)}
                              : Selection{MATCH_ALL, {}};
    KeyRecordFinder finder(KeyRecordFinder::Mode::index);
    TokenLabel tokenLabel;
    return collect<ZEPKeyCertReqItemContainer>(
        find(CKO_PRIVATE_KEY, selection.match, selection.searchValue), [&](CK_OBJECT_HANDLE handle) {
            return SlotManagerUtility::makeKeyCertReqItem(*this, handle, finder, tokenLabel);
        });
}

ZEPKeyCertItemContainer* SlotManager::getItems(KeyCertMultiIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getItem(KeyCertMultiIndex)");
    requireLogin();
    Selection selection = multiCertificateSelection(static_cast<int>(index), value);
    KeyRecordFinder finder(KeyRecordFinder::Mode::index);
    TokenLabel tokenLabel;
    return collect<ZEPKeyCertItemContainer>(
        find(CKO_CERTIFICATE, selection.match, selection.searchValue), [&](CK_OBJECT_HANDLE handle) {
            return SlotManagerUtility::makeKeyCertItem(*this, handle, selection.match, value, finder, tokenLabel);
        });
}

ZEPCertItemContainer* SlotManager::getItems(CertMultiIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getItem(CertMultiIndex)");
    openSession();
    Selection selection = multiCertificateSelection(static_cast<int>(index), value);
    return collect<ZEPCertItemContainer>(
        find(CKO_CERTIFICATE, selection.match, selection.searchValue), [&](CK_OBJECT_HANDLE handle) {
            return SlotManagerUtility::makeCertItem(*this, handle, selection.match, value);
        });
}

ZEPKeyItemContainer* SlotManager::getItems(KeyMultiIndex, const asn_object&) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getItems(KeyMultiIndex)");
    openSession();
    TokenLabel tokenLabel;
    return collect<ZEPKeyItemContainer>(findKeys(), [&](CK_OBJECT_HANDLE handle) {
        return SlotManagerUtility::makeKeyItem(*this, handle, tokenLabel);
    });
}

unsigned int SlotManager::getItemCount(KeyCertReqMultiIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getItemCount(KeyCertReqMultiIndex)");
    return countOf(getItems(index, value));
}

unsigned int SlotManager::getItemCount(KeyCertMultiIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getItemCount(KeyCertMultiIndex)");
    return countOf(getItems(index, value));
}

unsigned int SlotManager::getItemCount(CertMultiIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getItemCount(CertMultiIndex)");
    return countOf(getItems(index, value));
}

unsigned int SlotManager::getItemCount(KeyMultiIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::getItemCount(KeyMultiIndex)");
    return countOf(getItems(index, value));
}

void SlotManager::requireWriting() {
    if (!isOpenedForWriting())
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::ACCESS_DENIED, "Token is write protected or login is required.");
}

CK_OBJECT_HANDLE SlotManager::findObject(CK_OBJECT_CLASS objectClass, MatchType match, const ZEPBuffer& value) {
    CK_OBJECT_HANDLE handle = 0;
    SlotManagerUtility::findItem(*this, objectClass, match, value, handle);
    return handle;
}

void SlotManager::setAttributes(CK_OBJECT_HANDLE object, AttributeTemplate& attributes) {
    state_->client->setAttributeValue(state_->session, object, attributes);
}

void SlotManager::destroy(CK_OBJECT_HANDLE object) { state_->client->destroyObject(state_->session, object); }

namespace {

x509_certificate certificateOf(const ZEPCertItem& item) {
    x509_certificate certificate;
    item.getCertificate(certificate);
    return certificate;
}

ZEPBuffer subjectOf(const x509_certificate& certificate) {
    return ZEPASNUtility::getDEREncoding(certificate.get_subject());
}

// The DER of the key record held by a key that stays on the token.
ZEPBuffer keyRecordOf(const ZEPKRYKey& key) { return ZEPPKCS11ASNKeyRecord(key.getKeyBlob()).getBuffer(); }

}  // namespace

bool SlotManager::insertItem(const ZEPKeyItem& item) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::insertItem(ZEPKeyItem)");
    requireWriting();
    SlotManagerUtility::isUnique(*this, item);
    CK_OBJECT_HANDLE handle = 0;
    return SlotManagerUtility::makeKeyItem(*this, item, handle, ZEPBuffer(), ZEPBuffer());
}

bool SlotManager::insertItem(const ZEPCertItem& item) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::insertItem(ZEPCertItem)");
    requireWriting();
    SlotManagerUtility::isUnique(*this, item);
    CK_OBJECT_HANDLE handle = 0;
    ZEPBuffer id;
    return SlotManagerUtility::makeCertItem(*this, item, handle, id);
}

bool SlotManager::insertItem(const ZEPKeyCertItem& item) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::insertItem(ZEPKeyCertItem)");
    requireWriting();
    SlotManagerUtility::requireKeyOfCertificate(item);
    const ZEPKRYKey& key = item.getKey();
    if (key.getFormat() == ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD && key.getAlgorithm() == ZEPKRYKey::ALGORITHM_EC) {
        // An EC key on the token is checked by its objects; a key that is
        // not there is reported by the key step.
        const ZEPBuffer id = ZEPPKCS11ASNKeyRecord(key.getKeyBlob()).getObjectId();
        if (const CK_OBJECT_HANDLE privateKey = findObject(CKO_PRIVATE_KEY, MATCH_ID, id))
            SlotManagerUtility::requireKeyOfCertificate(
                *this, key, privateKey, findObject(CKO_PUBLIC_KEY, MATCH_ID, id), item.getCertItem());
    }
    const ZEPBuffer subject = subjectOf(certificateOf(item.getCertItem()));
    SlotManagerUtility::isUnique(*this, item.getCertItem());
    CK_OBJECT_HANDLE certificate = 0, privateKey = 0;
    ZEPBuffer id;
    // The private key takes the certificate's id and subject.
    if (!SlotManagerUtility::makeCertItem(*this, item.getCertItem(), certificate, id) ||
        !SlotManagerUtility::makeKeyItem(*this, item.getKeyItem(), privateKey, id, subject))
        return false;
    const ZEPPKCS11ASNKeyRecord search(" ", id, 0, subject);
    if (CK_OBJECT_HANDLE publicKey = findObject(CKO_PUBLIC_KEY, MATCH_KEY_RECORD, search.getBuffer())) {
        AttributeTemplate relabel;
        SlotManagerUtility::setLabel(relabel, item.getLabel());
        relabel.setAttribute(CKA_SUBJECT, subject);
        setAttributes(publicKey, relabel);
    }
    return true;
}

bool SlotManager::insertItem(const ZEPKeyCertReqItem& item) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::insertItem(ZEPKeyCertReqItem)");
    requireWriting();
    const ZEPKeyItem& privateKeyItem = item.getPrivateKeyItem();
    const ZEPKRYKey& privateKey = privateKeyItem.getKey();
    const bool onToken = privateKey.getFormat() == ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD;
    if (onToken) {
        // A generated pair is a duplicate only when its key record, with the
        // request's subject, is on the token already.
        ZEPPKCS11ASNKeyRecord record(privateKey.getKeyBlob());
        record.setSubjectName(item.getSubjectName());
        ZEPKRYKey withSubject(privateKey);
        withSubject.setKeyBlob(record.getBuffer());
        SlotManagerUtility::isUnique(*this, ZEPKeyItem(withSubject, item.getLabel()));
    } else {
        SlotManagerUtility::isUnique(*this, privateKeyItem);
    }
    CK_OBJECT_HANDLE handle = 0;
    if (!SlotManagerUtility::makeKeyItem(*this, privateKeyItem, handle, ZEPBuffer(), item.getSubjectName()))
        return false;
    if (onToken) {
        const ZEPPKCS11ASNKeyRecord record(privateKey.getKeyBlob());
        if (CK_OBJECT_HANDLE publicKey = findObject(CKO_PUBLIC_KEY, MATCH_ID, record.getObjectId())) {
            AttributeTemplate relabel;
            SlotManagerUtility::setLabel(relabel, item.getLabel());
            relabel.setAttribute(CKA_SUBJECT, item.getSubjectName());
            setAttributes(publicKey, relabel);
            return true;
        }
    }
    return SlotManagerUtility::makeKeyItem(*this, item.getPublicKeyItem(), handle, ZEPBuffer(), item.getSubjectName());
}

bool SlotManager::updateItem(const ZEPKeyItem& oldItem, const ZEPKeyItem& newItem) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::updateItem(ZEPKeyItem)");
    requireWriting();
    if (oldItem.getLabel() == newItem.getLabel()) return false;
    if (oldItem.getKey().getType() != newItem.getKey().getType())
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::BAD_ARGUMENT, "The old and new key types must be the same");
    const CK_OBJECT_HANDLE key =
        findObject(SlotManagerUtility::objectClassOf(oldItem.getKey()), MATCH_LABEL, oldItem.getLabel());
    if (!key) return false;
    AttributeTemplate relabel;
    SlotManagerUtility::setLabel(relabel, newItem.getLabel());
    setAttributes(key, relabel);
    return true;
}

bool SlotManager::updateItem(const ZEPCertItem& oldItem, const ZEPCertItem& newItem) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::updateItem(ZEPCertItem)");
    requireWriting();
    const CK_OBJECT_HANDLE old = findObject(CKO_CERTIFICATE, MATCH_VALUE, oldItem.getCertificateDER());
    if (!old) return false;
    if (oldItem.getCertificateDER() != newItem.getCertificateDER()) {
        // The new object is made before the old one goes.
        CK_OBJECT_HANDLE created = 0;
        ZEPBuffer id;
        if (!SlotManagerUtility::makeCertItem(*this, newItem, created, id)) return false;
        destroy(old);
        return true;
    }
    if (oldItem.getLabel() == newItem.getLabel()) return false;
    AttributeTemplate relabel;
    SlotManagerUtility::setLabel(relabel, newItem.getLabel());
    setAttributes(old, relabel);
    return true;
}

bool SlotManager::updateItem(const ZEPKeyCertItem& oldItem, const ZEPKeyCertItem& newItem) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::updateItem(ZEPKeyCertItem)");
    requireWriting();
    const ZEPBuffer record = keyRecordOf(oldItem.getKey());
    CK_OBJECT_HANDLE certificate = findObject(CKO_CERTIFICATE, MATCH_KEY_RECORD, record);
    const CK_OBJECT_HANDLE privateKey = findObject(CKO_PRIVATE_KEY, MATCH_KEY_RECORD, record);
    if (!certificate || !privateKey) return false;
    AttributeTemplate keys, certificateAttributes;
    if (oldItem.getCertificateDER() != newItem.getCertificateDER()) {
        // Only an EC key's public key object is read, for its point.
        const bool ec = oldItem.getKey().getAlgorithm() == ZEPKRYKey::ALGORITHM_EC;
        SlotManagerUtility::requireKeyOfCertificate(
            *this, oldItem.getKey(), privateKey, ec ? findObject(CKO_PUBLIC_KEY, MATCH_KEY_RECORD, record) : 0,
            newItem.getCertItem());
        const ZEPBuffer subject = subjectOf(certificateOf(newItem.getCertItem()));
        CK_OBJECT_HANDLE created = 0;
        ZEPBuffer id;
        if (SlotManagerUtility::makeCertItem(*this, newItem.getCertItem(), created, id)) {
            destroy(certificate);
            certificate = created;
            keys.setAttribute(CKA_ID, id);
            keys.setAttribute(CKA_SUBJECT, subject);
        }
    }
    if (oldItem.getLabel() != newItem.getLabel()) {
        SlotManagerUtility::setLabel(keys, newItem.getLabel());
        SlotManagerUtility::setLabel(certificateAttributes, newItem.getLabel());
    }
    if (keys.size() != 0) {
        setAttributes(privateKey, keys);
        if (CK_OBJECT_HANDLE publicKey = findObject(CKO_PUBLIC_KEY, MATCH_KEY_RECORD, record))
            setAttributes(publicKey, keys);
    }
    if (certificateAttributes.size() != 0) setAttributes(certificate, certificateAttributes);
    return true;
}

bool SlotManager::updateItem(const ZEPKeyCertReqItem& oldItem, const ZEPKeyCertReqItem& newItem) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::updateItem(ZEPKeyCertReqItem)");
    requireWriting();
    AttributeTemplate changes;
    if (oldItem.getLabel() != newItem.getLabel()) SlotManagerUtility::setLabel(changes, newItem.getLabel());
    if (oldItem.getSubjectName() != newItem.getSubjectName())
        changes.setAttribute(CKA_SUBJECT, newItem.getSubjectName());
    if (changes.size() == 0) return false;
    const ZEPBuffer record = keyRecordOf(oldItem.getPrivateKeyItem().getKey());
    const CK_OBJECT_HANDLE privateKey = findObject(CKO_PRIVATE_KEY, MATCH_KEY_RECORD, record);
    const CK_OBJECT_HANDLE publicKey = findObject(CKO_PUBLIC_KEY, MATCH_KEY_RECORD, record);
    if (!privateKey || !publicKey) return false;
    setAttributes(publicKey, changes);
    setAttributes(privateKey, changes);
    return true;
}

bool SlotManager::updateItem(const ZEPKeyCertReqItem& oldItem, const ZEPCertItem& newItem) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::updateItem(ZEPKeyCertReqItem)");
    requireWriting();
    const ZEPBuffer record = keyRecordOf(oldItem.getPrivateKeyItem().getKey());
    const CK_OBJECT_HANDLE privateKey = findObject(CKO_PRIVATE_KEY, MATCH_KEY_RECORD, record);
    const CK_OBJECT_HANDLE publicKey = findObject(CKO_PUBLIC_KEY, MATCH_KEY_RECORD, record);
    if (!privateKey || !publicKey) return false;
    SlotManagerUtility::requireKeyOfCertificate(*this, oldItem.getPrivateKeyItem().getKey(), privateKey, publicKey,
                                                newItem);
    CK_OBJECT_HANDLE certificate = 0;
    ZEPBuffer id;
    SlotManagerUtility::makeCertItem(*this, newItem, certificate, id);
    // The key pair takes the certificate's id, label and subject: the three
    // objects now form a key+certificate pair.
    AttributeTemplate pair;
    pair.setAttribute(CKA_ID, id);
    SlotManagerUtility::setLabel(pair, newItem.getLabel());
    pair.setAttribute(CKA_SUBJECT, subjectOf(certificateOf(newItem)));
    setAttributes(publicKey, pair);
    setAttributes(privateKey, pair);
    return true;
}

bool SlotManager::deleteItem(const ZEPKeyItem& item) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::deleteItem(ZEPKeyItem)");
    requireWriting();
    const CK_OBJECT_HANDLE key =
        findObject(SlotManagerUtility::objectClassOf(item.getKey()), MATCH_LABEL, item.getLabel());
    if (!key) return false;
    destroy(key);
    return true;
}

bool SlotManager::deleteItem(const ZEPCertItem& item) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::deleteItem(ZEPCertItem)");
    requireWriting();
    const CK_OBJECT_HANDLE certificate = findObject(CKO_CERTIFICATE, MATCH_VALUE, item.getCertificateDER());
    if (!certificate) return false;
    destroy(certificate);
    return true;
}

bool SlotManager::deleteItem(const ZEPKeyCertItem& item) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::deleteItem(ZEPCertKeyItem)");
    requireWriting();
    const ZEPBuffer record = keyRecordOf(item.getKey());
    const CK_OBJECT_HANDLE certificate = findObject(CKO_CERTIFICATE, MATCH_VALUE, item.getCertificateDER());
    const CK_OBJECT_HANDLE privateKey = findObject(CKO_PRIVATE_KEY, MATCH_KEY_RECORD, record);
    if (!certificate || !privateKey) return false;
    destroy(certificate);
    destroy(privateKey);
    if (CK_OBJECT_HANDLE publicKey = findObject(CKO_PUBLIC_KEY, MATCH_KEY_RECORD, record)) destroy(publicKey);
    return true;
}

bool SlotManager::deleteItem(const ZEPKeyCertReqItem& item) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::deleteItem(ZEPKeyCertReqItem)");
    requireWriting();
    const ZEPBuffer record = keyRecordOf(item.getPrivateKeyItem().getKey());
    const CK_OBJECT_HANDLE privateKey = findObject(CKO_PRIVATE_KEY, MATCH_KEY_RECORD, record);
    const CK_OBJECT_HANDLE publicKey = findObject(CKO_PUBLIC_KEY, MATCH_KEY_RECORD, record);
    // A request whose certificate has arrived is a pair, no longer a request.
    if (!privateKey || !publicKey || findObject(CKO_CERTIFICATE, MATCH_KEY_RECORD, record)) return false;
    destroy(publicKey);
    destroy(privateKey);
    return true;
}

namespace {

// Deletes the item a unique lookup finds, through the slot manager's table.
template <typename Index>
bool deleteFound(ZEPSlotManager& slot, Index index, const asn_object& value) {
    auto item = std::unique_ptr<std::remove_pointer_t<decltype(slot.getItem(index, value))>>(slot.getItem(index, value));
    return item && slot.deleteItem(*item);
}

// Offers every item a multi lookup finds for deletion; counts the deleted.
template <typename Index>
ZEPDeleteResult deleteAllFound(ZEPSlotManager& slot, Index index, const asn_object& value) {
    auto items = std::unique_ptr<std::remove_pointer_t<decltype(slot.getItems(index, value))>>(
        slot.getItems(index, value));
    ZEPDeleteResult result;
    while (auto item = std::unique_ptr<std::remove_pointer_t<decltype(items->pop_front())>>(items->pop_front()))
        if (slot.deleteItem(*item)) ++result.deleted;
    return result;
}

}  // namespace

bool SlotManager::deleteItem(KeyCertReqUniqueIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::deleteItem(KeyCertReqUniqueIndex)");
    return deleteFound(*this, index, value);
}

bool SlotManager::deleteItem(KeyCertUniqueIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::deleteItem(KeyCertUniqueIndex)");
    return deleteFound(*this, index, value);
}

bool SlotManager::deleteItem(CertUniqueIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::deleteItem(CertUniqueIndex)");
    return deleteFound(*this, index, value);
}

bool SlotManager::deleteItem(KeyUniqueIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::deleteItem(KeyUniqueIndex)");
    return deleteFound(*this, index, value);
}

ZEPDeleteResult SlotManager::deleteItems(KeyCertReqMultiIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::deleteItems(KeyCertReqMultiIndex)");
    return deleteAllFound(*this, index, value);
}

ZEPDeleteResult SlotManager::deleteItems(KeyCertMultiIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::deleteItems(KeyCertMultiIndex)");
    return deleteAllFound(*this, index, value);
}

ZEPDeleteResult SlotManager::deleteItems(CertMultiIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::deleteItems(CertMultiIndex)");
    return deleteAllFound(*this, index, value);
}

ZEPDeleteResult SlotManager::deleteItems(KeyMultiIndex index, const asn_object& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManager::deleteItems(KeyMultiIndex)");
    return deleteAllFound(*this, index, value);
}
