// A key that stays on a token, as the token-backed algorithms hold it: the
// key, whose blob is a key record naming the token and the key object, and
// the algorithm's own slot manager copy. The key object found for one
// operation is kept in the slot's token cache for the next, with the length
// of the key's outputs, so that a one-shot operation costs its Init and one
// data call. A kept handle is dropped at the client's next write on a token;
// one not confirmed within the last second has its class and id read back
// first, and is searched for again when they no longer match; an Init that
// finds the handle invalid searches again and retries once. So a change made
// by another program is seen within a second, one made through the module at
// once.
#ifndef MERVIL7_PKCS11KRYTOKENKEY_H
#define MERVIL7_PKCS11KRYTOKENKEY_H

#include <memory>
#include <mutex>

#include "cryptoki.h"
#include "kry/zepkrykey.h"
#include "tokencache.h"
#include "zepbuffer.h"

class PKCS11Client;
class SlotManager;

class PKCS11KRYTokenKey {
public:
    // An Init wrapper of the client: encryptInit, decryptInit or signInit.
    using InitCall = CK_RV (PKCS11Client::*)(CK_SESSION_HANDLE&, CK_MECHANISM*, CK_OBJECT_HANDLE);
    // A one-shot data call of the client: encrypt, decrypt or sign.
    using OneShotCall = CK_RV (PKCS11Client::*)(CK_SESSION_HANDLE&, const ZEPBuffer&, ZEPBuffer&, CK_ULONG);

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

    // A whole one-shot operation under the session lock: the Init, then
    // `call` on `input` into a buffer of the key's output length. Only when
    // the token answers that buffer with CKR_BUFFER_TOO_SMALL is the output
    // sized by a length query and a second call, after a fresh Init when the
    // token ended the operation on that answer.
    ZEPBuffer runOneShot(InitCall init, CK_MECHANISM mechanism, OneShotCall call, const ZEPBuffer& input) const;

private:
    // The Init of startOperation, returning the key object it started.
    TokenCache::KeptKey start(InitCall init, CK_MECHANISM mechanism,
                              std::unique_lock<std::mutex>& sessionLock) const;
    void initOn(InitCall init, CK_MECHANISM mechanism, CK_OBJECT_HANDLE object) const;
    // The first object of the key's class with the record's CKA_ID, kept or
    // searched for. Throws 577006 for a key that is neither public nor
    // private, 577005 when there is no such object.
    TokenCache::KeptKey findObject() const;
    // The length of what the key object signs, encrypts or decrypts: an RSA
    // key's modulus length, twice an EC key's field length; 0 for a key
    // whose length is not known.
    CK_ULONG outputLength(CK_OBJECT_HANDLE object) const;
    // The object class of the key's type; throws 577006 for other types.
    CK_OBJECT_CLASS objectClass() const;
    // True when `object` still reads back as this class and CKA_ID.
    bool isStill(CK_OBJECT_HANDLE object, CK_OBJECT_CLASS objectClass, const ZEPBuffer& id) const;

    ZEPKRYKey key_;
    std::unique_ptr<SlotManager> slot_;
};

#endif
