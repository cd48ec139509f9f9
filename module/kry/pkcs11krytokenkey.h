// A key that stays on a token, as the token-backed algorithms hold it: the
// key, whose blob is a key record naming the token and the key object, and
// the algorithm's own slot manager copy. The key object found for one
// operation is kept in the slot's token cache for the next, which reads its
// class and id back and searches again when they no longer match, so a
// token taken out and put back is seen as it is now.
#ifndef MERVIL7_PKCS11KRYTOKENKEY_H
#define MERVIL7_PKCS11KRYTOKENKEY_H

#include <memory>
#include <mutex>

#include "cryptoki.h"
#include "kry/zepkrykey.h"

class PKCS11Client;
class SlotManager;

class PKCS11KRYTokenKey {
public:
    // An Init wrapper of the client: encryptInit, decryptInit or signInit.
    using InitCall = CK_RV (PKCS11Client::*)(CK_SESSION_HANDLE&, CK_MECHANISM*, CK_OBJECT_HANDLE);

    // Throws 577004 when the key record's token label differs from the
    // slot's token label, padding included; no slot manager copy is made
    // then.
    PKCS11KRYTokenKey(SlotManager& slot, const ZEPKRYKey& key);
    PKCS11KRYTokenKey(const PKCS11KRYTokenKey&) = delete;
    PKCS11KRYTokenKey& operator=(const PKCS11KRYTokenKey&) = delete;
    ~PKCS11KRYTokenKey();

    SlotManager& slot() const { return *slot_; }
    const ZEPKRYKey& key() const { return key_; }
    PKCS11Client& client() const;
    CK_SESSION_HANDLE& session() const;

    // Finds the key object and starts an operation on it: `init` with
    // `mechanism`, whose parameter (if any) the caller keeps alive for the
    // call. The search runs first, since it takes the session lock itself;
    // then `sessionLock` takes that lock before the Init call, and whoever
    // keeps it keeps other call sequences off the shared session until the
    // operation's last call.
    void startOperation(InitCall init, CK_MECHANISM mechanism, std::unique_lock<std::mutex>& sessionLock) const;

private:
    // The first object of the key's class with the record's CKA_ID. Throws
    // 577006 for a key that is neither public nor private, 577005 when
    // there is no such object.
    CK_OBJECT_HANDLE findObject() const;
    // The object class of the key's type; throws 577006 for other types.
    CK_OBJECT_CLASS objectClass() const;
    // True when `object` still reads back as this class and CKA_ID.
    bool isStill(CK_OBJECT_HANDLE object, CK_OBJECT_CLASS objectClass, const ZEPBuffer& id) const;

    ZEPKRYKey key_;
    std::unique_ptr<SlotManager> slot_;
};

#endif
