#include "pkcs11krytokenkey.h"

#include <vector>

#include "attributetemplate.h"
#include "errorcodes.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "pkcs11client.h"
#include "slotmanager.h"
#include "tokencache.h"
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

CK_OBJECT_CLASS PKCS11KRYTokenKey::objectClass() const {
    switch (key_.getType()) {
        case ZEPKRYKey::TYPE_PUBLIC: return CKO_PUBLIC_KEY;
        case ZEPKRYKey::TYPE_PRIVATE: return CKO_PRIVATE_KEY;
        default:
            throw ZEPPKCS11Exception(ZEP_HERE, errorcode::KEY_CLASS_INVALID,
                                     "Only private or public key types are supported.");
    }
}

bool PKCS11KRYTokenKey::isStill(CK_OBJECT_HANDLE object, CK_OBJECT_CLASS objectClass, const ZEPBuffer& id) const {
    // Buffers of the expected sizes: one call reads both values.
    AttributeTemplate request, values;
    request.addAttribute(CKA_CLASS);
    request.setAttribute(CKA_ID, ZEPBuffer(id.getLength(), nullptr));
    try {
        client().getAttributeValue(session(), object, request, values);
    } catch (const ZEPPKCS11Exception& failure) {
        // A handle that names no object, or an id of another length, is no
        // longer the key; any other failure is the token's and passes on.
        if (failure.getReturnValue() == CKR_OBJECT_HANDLE_INVALID ||
            failure.getReturnValue() == CKR_BUFFER_TOO_SMALL)
            return false;
        throw;
    }
    CK_ULONG readClass = CKO_DATA;
    ZEPBuffer readId;
    return values.getAttribute(CKA_CLASS, readClass) && readClass == objectClass &&
           values.getAttribute(CKA_ID, readId) && readId == id;
}

CK_ULONG PKCS11KRYTokenKey::outputLength(CK_OBJECT_HANDLE object) const {
    // An ECDSA signature is r and s, each as long as the curve's field; the
    // record's key size is the field's size in bits.
    if (key_.getAlgorithm() == ZEPKRYKey::ALGORITHM_EC)
        return 2 * ((ZEPPKCS11ASNKeyRecord(key_.getKeyBlob()).getKeySize() + 7) / 8);
    CK_ULONG length = 0;
    client().getAttributeLength(session(), object, CKA_MODULUS, length);
    return length;
}

TokenCache::KeptKey PKCS11KRYTokenKey::findObject() const {
    const CK_OBJECT_CLASS keyClass = objectClass();
    const ZEPBuffer id = ZEPPKCS11ASNKeyRecord(key_.getKeyBlob()).getObjectId();
    TokenCache& cache = slot_->getTokenCache();
    if (const auto kept = cache.keyObject(*slot_, keyClass, id)) {
        if (kept->confirmed) return *kept;
        if (isStill(kept->object, keyClass, id)) {
            cache.confirmKeyObject(*slot_, keyClass, id);
            return *kept;
        }
        cache.forgetKeyObject(*slot_, keyClass, id);
    }
    // Counted before the search: a write made while it runs leaves the
    // handle found here unkept for the next operation.
    const uint64_t writes = client().writeCount();
    AttributeTemplate search;
    search.setULong(CKA_CLASS, keyClass);
    search.setAttribute(CKA_ID, id);
    std::vector<CK_OBJECT_HANDLE> objects;
    client().findObjects(session(), search, objects);
    if (objects.empty())
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::KEY_NOT_FOUND, "Key Id was not found.  Token may have been removed.");
    const TokenCache::KeptKey found{objects.front(), outputLength(objects.front()), true};
    cache.keepKeyObject(*slot_, keyClass, id, found.object, found.outputLength, writes);
    return found;
}

void PKCS11KRYTokenKey::initOn(InitCall init, CK_MECHANISM mechanism, CK_OBJECT_HANDLE object) const {
    (client().*init)(session(), &mechanism, object);
}

TokenCache::KeptKey PKCS11KRYTokenKey::start(InitCall init, CK_MECHANISM mechanism,
                                             std::unique_lock<std::mutex>& sessionLock) const {
    for (bool retried = false;; retried = true) {
        const TokenCache::KeptKey object = findObject();
        sessionLock = client().lockSession(session());
        try {
            initOn(init, mechanism, object.object);
            return object;
        } catch (const ZEPPKCS11Exception& failure) {
            // The handle names no key any more: search once more and retry.
            const CK_RV rv = failure.getReturnValue();
            if (retried || (rv != CKR_KEY_HANDLE_INVALID && rv != CKR_OBJECT_HANDLE_INVALID)) throw;
            sessionLock = std::unique_lock<std::mutex>();
            slot_->getTokenCache().forgetKeyObject(*slot_, objectClass(),
                                                   ZEPPKCS11ASNKeyRecord(key_.getKeyBlob()).getObjectId());
        }
    }
}

void PKCS11KRYTokenKey::startOperation(InitCall init, CK_MECHANISM mechanism,
                                       std::unique_lock<std::mutex>& sessionLock) const {
    start(init, mechanism, sessionLock);
}

ZEPBuffer PKCS11KRYTokenKey::runOneShot(InitCall init, CK_MECHANISM mechanism, OneShotCall call,
                                        const ZEPBuffer& input) const {
    std::unique_lock<std::mutex> sessionLock;
    const TokenCache::KeptKey object = start(init, mechanism, sessionLock);
    ZEPBuffer output;
    if ((client().*call)(session(), input, output, object.outputLength) == CKR_OK) return output;
    // The kept length was too small: the length query and the call, on an
    // operation started afresh when the token ended it on that answer.
    try {
        (client().*call)(session(), input, output, 0);
    } catch (const ZEPPKCS11Exception& failure) {
        if (failure.getReturnValue() != CKR_OPERATION_NOT_INITIALIZED) throw;
        initOn(init, mechanism, object.object);
        (client().*call)(session(), input, output, 0);
    }
    return output;
}
