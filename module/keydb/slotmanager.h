// The key database over one slot of a Cryptoki library. All copies of a slot
// manager share one reference-counted state: the slot, a manager copy that
// keeps the library loaded, the client, the one session, the slot mutex and
// the session type. The session is opened on demand and opened again after
// a client call found it gone.
#ifndef MERVIL7_SLOTMANAGER_H
#define MERVIL7_SLOTMANAGER_H

#include <atomic>
#include <cstdint>
#include <memory>

#include <vector>

#include "cryptoki.h"

#include "attributetemplate.h"
#include "keystore/zepslotmanager.h"
#include "slotmanagerutility.h"
#include "zepmutex.h"

class PKCS11Client;
class TokenCache;
class PKCS11Manager;

// Holds the slot mutex until destroyed.
class SlotLock {
public:
    explicit SlotLock(ZEPMutex& mutex) : locker_(std::make_unique<ZEPMutexLocker>(mutex)) {}

private:
    std::unique_ptr<ZEPMutexLocker> locker_;
};

class SlotManager : public ZEPSlotManager {
public:
    SlotManager(PKCS11Manager& manager, CK_SLOT_ID slotId);
    SlotManager(const SlotManager& other);
    SlotManager& operator=(const SlotManager&) = delete;
    ~SlotManager() override;

    ZEPSlotManager* duplicate() override;
    bool isReadOnly() override;
    bool isTokenPresent() override;
    bool isLoginRequired() override;

    Iterator* getKeyIterator() override;
    Iterator* getCertIterator() override;
    Iterator* getKeyCertIterator() override;
    Iterator* getKeyCertReqIterator() override;
    ZEPKeyItem* getNextKeyItem(Iterator& iterator) override;
    ZEPCertItem* getNextCertItem(Iterator& iterator) override;
    ZEPKeyCertItem* getNextKeyCertItem(Iterator& iterator) override;
    ZEPKeyCertReqItem* getNextKeyCertReqItem(Iterator& iterator) override;
    ZEPKeyCertReqItem* getItem(KeyCertReqUniqueIndex index, const asn_object& value) override;
    ZEPKeyCertItem* getItem(KeyCertUniqueIndex index, const asn_object& value) override;
    ZEPCertItem* getItem(CertUniqueIndex index, const asn_object& value) override;
    ZEPKeyItem* getItem(KeyUniqueIndex index, const asn_object& value) override;
    ZEPKeyCertReqItemContainer* getItems(KeyCertReqMultiIndex index, const asn_object& value) override;
    ZEPKeyCertItemContainer* getItems(KeyCertMultiIndex index, const asn_object& value) override;
    ZEPCertItemContainer* getItems(CertMultiIndex index, const asn_object& value) override;
    ZEPKeyItemContainer* getItems(KeyMultiIndex index, const asn_object& value) override;
    unsigned int getItemCount(KeyCertReqMultiIndex index, const asn_object& value) override;
    unsigned int getItemCount(KeyCertMultiIndex index, const asn_object& value) override;
    unsigned int getItemCount(CertMultiIndex index, const asn_object& value) override;
    unsigned int getItemCount(KeyMultiIndex index, const asn_object& value) override;

    bool insertItem(const ZEPKeyCertReqItem& item) override;
    bool insertItem(const ZEPKeyCertItem& item) override;
    bool insertItem(const ZEPCertItem& item) override;
    bool insertItem(const ZEPKeyItem& item) override;
    bool updateItem(const ZEPKeyCertReqItem& oldItem, const ZEPCertItem& newItem) override;
    bool updateItem(const ZEPKeyCertReqItem& oldItem, const ZEPKeyCertReqItem& newItem) override;
    bool updateItem(const ZEPKeyCertItem& oldItem, const ZEPKeyCertItem& newItem) override;
    bool updateItem(const ZEPCertItem& oldItem, const ZEPCertItem& newItem) override;
    bool updateItem(const ZEPKeyItem& oldItem, const ZEPKeyItem& newItem) override;
    bool deleteItem(KeyCertReqUniqueIndex index, const asn_object& value) override;
    bool deleteItem(KeyCertUniqueIndex index, const asn_object& value) override;
    bool deleteItem(CertUniqueIndex index, const asn_object& value) override;
    bool deleteItem(KeyUniqueIndex index, const asn_object& value) override;
    bool deleteItem(const ZEPKeyCertReqItem& item) override;
    bool deleteItem(const ZEPKeyCertItem& item) override;
    bool deleteItem(const ZEPCertItem& item) override;
    bool deleteItem(const ZEPKeyItem& item) override;
    ZEPDeleteResult deleteItems(KeyCertReqMultiIndex index, const asn_object& value) override;
    ZEPDeleteResult deleteItems(KeyCertMultiIndex index, const asn_object& value) override;
    ZEPDeleteResult deleteItems(CertMultiIndex index, const asn_object& value) override;
    ZEPDeleteResult deleteItems(KeyMultiIndex index, const asn_object& value) override;

    ZEPKRYAlgorithmFactory* getZEPKRYAlgorithmFactory() override;
    void initToken(const ZEPBuffer& soPin, const ZEPString& label) override;
    void initPassword(const ZEPBuffer& soPin, const ZEPBuffer& userPin) override;
    void login(const ZEPBuffer& pin) override;
    void logout() override;
    void setPassword(const ZEPBuffer& oldPin, const ZEPBuffer& newPin) override;
    void setSessionType(int sessionType) override;
    ZEPString getLabel() override;
    CK_SLOT_ID getSlotId() override;
    bool isKindOf(const ZEPString& className) const override;
    ZEPString getInstanceName() const override;

    static ZEPString getClassName() { return "SlotManager"; }

    // Accessors for the conversions and algorithms working on this slot.
    PKCS11Client* getClient() const;
    // The shared session handle; 0 while no session is open. Client calls
    // take it by reference and clear it when the session is gone.
    CK_SESSION_HANDLE& getSessionHandle() const;
    [[nodiscard]] SlotLock lockSlot() const;
    int getSessionType() const;
    // Opens the shared session unless one is open: read-write when the
    // session type asks for it.
    void openSession();
    // True when the token is not write protected and the session belongs to
    // a logged-in user and can write.
    bool isOpenedForWriting();
    // Counts the sessions this slot manager opened (and token
    // initialisations): what was learnt in one session holds until it
    // changes.
    uint64_t getSessionGeneration() const;
    // What token operations keep between calls while the session lasts.
    TokenCache& getTokenCache() const;

private:
    struct State;

    // A counted reference to the state all copies share: a copy adds one,
    // and the last reference to go closes the session and frees the state.
    class StateRef {
    public:
        explicit StateRef(std::unique_ptr<State> state);
        StateRef(const StateRef& other);
        StateRef& operator=(const StateRef&) = delete;
        ~StateRef();
        State* operator->() const { return state_; }

    private:
        State* state_;
    };

    // Handles of the objects of a class that the search selects.
    std::vector<CK_OBJECT_HANDLE> find(CK_OBJECT_CLASS objectClass, MatchType match, const ZEPBuffer& value);
    // Private keys, then public keys.
    std::vector<CK_OBJECT_HANDLE> findKeys();
    // Throws 577007 while the token wants a login; otherwise opens the
    // session unless one is open.
    void requireLogin();
    // Throws 577007 unless the token can be written in this session.
    void requireWriting();
    // The first object of the class that passes the match; 0 when none does.
    CK_OBJECT_HANDLE findObject(CK_OBJECT_CLASS objectClass, MatchType match, const ZEPBuffer& value);
    void setAttributes(CK_OBJECT_HANDLE object, AttributeTemplate& attributes);
    void destroy(CK_OBJECT_HANDLE object);
    CK_TOKEN_INFO tokenInfo();
    // The PIN to send: empty on a token with a protected authentication path,
    // whose PINs are entered at the device.
    static ZEPBuffer pinToSend(const CK_TOKEN_INFO& token, const ZEPBuffer& pin);
    CK_STATE sessionState();

    StateRef state_;
};

#endif
