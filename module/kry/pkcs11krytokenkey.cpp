#include "pkcs11krytokenkey.h"

#include <vector>

#include "attributetemplate.h"
#include "errorcodes.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "pkcs11client.h"
#include "slotmanager.h"
#include "zepexception.h"

PKCS11KRYTokenKey::PKCS11KRYTokenKey(SlotManager& slot, const ZEPKRYKey& key) : key_(key) {
    ZEPPKCS11ASNKeyRecord record(key.getKeyBlob());
    if (record.getTokenLabel().compare(slot.getLabel()) != 0)
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::TOKEN_LABEL_INVALID,
                                 "Token Label invalid.  Token may have been removed.");
    slot_ = std::make_unique<SlotManager>(slot);
}

PKCS11KRYTokenKey::~PKCS11KRYTokenKey() = default;

PKCS11Client& PKCS11KRYTokenKey::client() const { return *slot_->getClient(); }

CK_SESSION_HANDLE& PKCS11KRYTokenKey::session() const { return slot_->getSessionHandle(); }

CK_OBJECT_HANDLE PKCS11KRYTokenKey::findObject() const {
    ZEPPKCS11ASNKeyRecord record(key_.getKeyBlob());
    CK_OBJECT_CLASS objectClass;
    switch (key_.getType()) {
        case ZEPKRYKey::TYPE_PUBLIC: objectClass = CKO_PUBLIC_KEY; break;
        case ZEPKRYKey::TYPE_PRIVATE: objectClass = CKO_PRIVATE_KEY; break;
        default:
            throw ZEPPKCS11Exception(ZEP_HERE, errorcode::KEY_CLASS_INVALID,
                                     "Only private or public key types are supported.");
    }
    AttributeTemplate search;
    search.setULong(CKA_CLASS, objectClass);
    search.setAttribute(CKA_ID, record.getObjectId());
    std::vector<CK_OBJECT_HANDLE> objects;
    client().findObjects(session(), search, objects);
    if (objects.empty())
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::KEY_NOT_FOUND, "Key Id was not found.  Token may have been removed.");
    return objects.front();
}

void PKCS11KRYTokenKey::startOperation(InitCall init, CK_MECHANISM_TYPE mechanism,
                                       std::unique_lock<std::mutex>& sessionLock) const {
    const CK_OBJECT_HANDLE object = findObject();
    CK_MECHANISM parameters = {mechanism, nullptr, 0};
    sessionLock = client().lockSession(session());
    (client().*init)(session(), &parameters, object);
}
