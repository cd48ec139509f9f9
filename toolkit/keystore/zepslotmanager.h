// The toolkit's key database over one token slot: keys, certificates,
// key+certificate pairs and pending certificate requests, listed, looked up,
// inserted, updated and deleted, with login and PIN management. Modules
// derive from it; the virtual operations are in the order hosts call them.
#ifndef MERVIL_ZEPSLOTMANAGER_H
#define MERVIL_ZEPSLOTMANAGER_H

#include <cstdint>

#include "cryptoki.h"
#include "zepbuffer.h"
#include "zepstring.h"

class asn_object;
class ZEPKeyItem;
class ZEPCertItem;
class ZEPKeyCertItem;
class ZEPKeyCertReqItem;
class ZEPKeyItemContainer;
class ZEPCertItemContainer;
class ZEPKeyCertItemContainer;
class ZEPKeyCertReqItemContainer;
class ZEPKRYAlgorithmFactory;

// What deleteItems did: the number of items deleted; the second field is 0.
struct ZEPDeleteResult {
    uint32_t deleted = 0;
    uint32_t reserved = 0;
};

class ZEPSlotManager {
public:
    // A position in one of the database's listings. Iterators are made by
    // the database and answer only for their own class name.
    class Iterator {
    public:
        virtual ~Iterator() = default;
        virtual bool isKindOf(const ZEPString& className) const = 0;
        virtual ZEPString getInstanceName() const = 0;
    };

    // Index kinds: what the value given to a lookup names. Values outside
    // the listed ones are legal and select what each lookup says.
    enum class KeyUniqueIndex : int { LABEL = 0 };
    enum class CertUniqueIndex : int { LABEL = 0, SIGNATURE = 1, UNSIGNED_CERTIFICATE = 2, ISSUER_AND_SERIAL = 3 };
    enum class KeyCertUniqueIndex : int { LABEL = 0, SIGNATURE = 1, UNSIGNED_CERTIFICATE = 2, ISSUER_AND_SERIAL = 3 };
    enum class KeyCertReqUniqueIndex : int { LABEL = 0 };
    enum class KeyMultiIndex : int { ALL = 0 };
    enum class CertMultiIndex : int { ALL = 0, SUBJECT_NAME = 1, SUBJECT_PUBLIC_KEY_INFO = 2 };
    enum class KeyCertMultiIndex : int { ALL = 0, SUBJECT_NAME = 1, SUBJECT_PUBLIC_KEY_INFO = 2 };
    enum class KeyCertReqMultiIndex : int { ALL = 0, SUBJECT_NAME = 1 };

    virtual ~ZEPSlotManager() = default;
    virtual ZEPSlotManager* duplicate() = 0;
    virtual bool isReadOnly() = 0;
    virtual bool isTokenPresent() = 0;
    virtual bool isLoginRequired() = 0;

    virtual Iterator* getKeyIterator() = 0;
    virtual Iterator* getCertIterator() = 0;
    virtual Iterator* getKeyCertIterator() = 0;
    virtual Iterator* getKeyCertReqIterator() = 0;
    virtual ZEPKeyItem* getNextKeyItem(Iterator& iterator) = 0;
    virtual ZEPCertItem* getNextCertItem(Iterator& iterator) = 0;
    virtual ZEPKeyCertItem* getNextKeyCertItem(Iterator& iterator) = 0;
    virtual ZEPKeyCertReqItem* getNextKeyCertReqItem(Iterator& iterator) = 0;

    virtual ZEPKeyCertReqItem* getItem(KeyCertReqUniqueIndex index, const asn_object& value) = 0;
    virtual ZEPKeyCertItem* getItem(KeyCertUniqueIndex index, const asn_object& value) = 0;
    virtual ZEPCertItem* getItem(CertUniqueIndex index, const asn_object& value) = 0;
    virtual ZEPKeyItem* getItem(KeyUniqueIndex index, const asn_object& value) = 0;
    virtual ZEPKeyCertReqItemContainer* getItems(KeyCertReqMultiIndex index, const asn_object& value) = 0;
    virtual ZEPKeyCertItemContainer* getItems(KeyCertMultiIndex index, const asn_object& value) = 0;
    virtual ZEPCertItemContainer* getItems(CertMultiIndex index, const asn_object& value) = 0;
    virtual ZEPKeyItemContainer* getItems(KeyMultiIndex index, const asn_object& value) = 0;
    virtual unsigned int getItemCount(KeyCertReqMultiIndex index, const asn_object& value) = 0;
    virtual unsigned int getItemCount(KeyCertMultiIndex index, const asn_object& value) = 0;
    virtual unsigned int getItemCount(CertMultiIndex index, const asn_object& value) = 0;
    virtual unsigned int getItemCount(KeyMultiIndex index, const asn_object& value) = 0;

    virtual bool insertItem(const ZEPKeyCertReqItem& item) = 0;
    virtual bool insertItem(const ZEPKeyCertItem& item) = 0;
    virtual bool insertItem(const ZEPCertItem& item) = 0;
    virtual bool insertItem(const ZEPKeyItem& item) = 0;
    virtual bool updateItem(const ZEPKeyCertReqItem& oldItem, const ZEPCertItem& newItem) = 0;
    virtual bool updateItem(const ZEPKeyCertReqItem& oldItem, const ZEPKeyCertReqItem& newItem) = 0;
    virtual bool updateItem(const ZEPKeyCertItem& oldItem, const ZEPKeyCertItem& newItem) = 0;
    virtual bool updateItem(const ZEPCertItem& oldItem, const ZEPCertItem& newItem) = 0;
    virtual bool updateItem(const ZEPKeyItem& oldItem, const ZEPKeyItem& newItem) = 0;
    virtual bool deleteItem(KeyCertReqUniqueIndex index, const asn_object& value) = 0;
    virtual bool deleteItem(KeyCertUniqueIndex index, const asn_object& value) = 0;
    virtual bool deleteItem(CertUniqueIndex index, const asn_object& value) = 0;
    virtual bool deleteItem(KeyUniqueIndex index, const asn_object& value) = 0;
    virtual bool deleteItem(const ZEPKeyCertReqItem& item) = 0;
    virtual bool deleteItem(const ZEPKeyCertItem& item) = 0;
    virtual bool deleteItem(const ZEPCertItem& item) = 0;
    virtual bool deleteItem(const ZEPKeyItem& item) = 0;
    virtual ZEPDeleteResult deleteItems(KeyCertReqMultiIndex index, const asn_object& value) = 0;
    virtual ZEPDeleteResult deleteItems(KeyCertMultiIndex index, const asn_object& value) = 0;
    virtual ZEPDeleteResult deleteItems(CertMultiIndex index, const asn_object& value) = 0;
    virtual ZEPDeleteResult deleteItems(KeyMultiIndex index, const asn_object& value) = 0;

    virtual ZEPKRYAlgorithmFactory* getZEPKRYAlgorithmFactory() = 0;
    virtual void initToken(const ZEPBuffer& soPin, const ZEPString& label) = 0;
    virtual void initPassword(const ZEPBuffer& soPin, const ZEPBuffer& userPin) = 0;
    virtual void login(const ZEPBuffer& pin) = 0;
    virtual void logout() = 0;
    virtual void setPassword(const ZEPBuffer& oldPin, const ZEPBuffer& newPin) = 0;
    virtual void setSessionType(int sessionType) = 0;
    virtual ZEPString getLabel() = 0;
    virtual CK_SLOT_ID getSlotId() = 0;
    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;

    static ZEPString getClassName() { return "ZEPSlotManager"; }
};

#endif
