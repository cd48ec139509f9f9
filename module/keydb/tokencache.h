// What token operations on one slot keep between calls: the token's
// mechanism list and the handles of the key objects they worked with, so a
// signature costs its Init and its data calls rather than a mechanism list
// and a search each time. Everything kept belongs to one session: when the
// slot manager opens a new one (the old one was lost, or the token was
// initialised), the cache starts empty. A kept key handle holds until the
// client makes its next write on a token; it is trusted for a second after
// it was found or last read back (see PKCS11KRYTokenKey). The attributes
// listings read of objects are kept by the same rules
// (ObjectAttributeCache).
#ifndef MERVIL7_TOKENCACHE_H
#define MERVIL7_TOKENCACHE_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cryptoki.h"
#include "objectattributecache.h"
#include "zepbuffer.h"

class MechanismInfoList;
class SlotManager;

class TokenCache {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // A key object as kept: its handle, the length of what it signs,
    // encrypts or decrypts (0 when unknown), and whether it was found or
    // read back within the last second.
    struct KeptKey {
        CK_OBJECT_HANDLE object = 0;
        CK_ULONG outputLength = 0;
        bool confirmed = false;
    };

    // How long a found or read-back key handle is trusted without a look.
    static constexpr std::chrono::seconds kConfirmationWindow{1};

    // The slot's mechanism list, read from the token once per session.
    std::shared_ptr<const MechanismInfoList> mechanisms(SlotManager& slot);
    // The key object kept for this class and CKA_ID; none when there is
    // none, or when the client has written to a token since it was found.
    std::optional<KeptKey> keyObject(SlotManager& slot, CK_OBJECT_CLASS objectClass, const ZEPBuffer& id);
    // Keeps `object`, found when the client's write count was `writes`, as
    // confirmed now.
    void keepKeyObject(SlotManager& slot, CK_OBJECT_CLASS objectClass, const ZEPBuffer& id, CK_OBJECT_HANDLE object,
                       CK_ULONG outputLength, uint64_t writes);
    // The kept key object was read back and is still the key: confirmed now.
    void confirmKeyObject(SlotManager& slot, CK_OBJECT_CLASS objectClass, const ZEPBuffer& id);
    void forgetKeyObject(SlotManager& slot, CK_OBJECT_CLASS objectClass, const ZEPBuffer& id);

    // The object's attributes `types` as read within the last second, with
    // no write by the client since; none when one of them is not kept.
    std::optional<AttributeTemplate> objectAttributes(SlotManager& slot, CK_OBJECT_HANDLE object,
                                                      const std::vector<CK_ATTRIBUTE_TYPE>& types);
    // Keeps what a read of the object gave that began when the client's
    // write count was `writes`.
    void keepObjectAttributes(SlotManager& slot, CK_OBJECT_HANDLE object, const AttributeTemplate& values,
                              uint64_t writes);

    // The clock the confirmation window is measured by.
    void setClock(Clock clock);

private:
    using KeyName = std::pair<CK_OBJECT_CLASS, std::string>;
    struct Entry {
        CK_OBJECT_HANDLE object;
        CK_ULONG outputLength;
        uint64_t writes;
        std::chrono::steady_clock::time_point confirmedAt;
    };

    // Empties the cache when it belongs to another session than the slot's
    // current one; called with the mutex held.
    void follow(SlotManager& slot);
    static KeyName nameOf(CK_OBJECT_CLASS objectClass, const ZEPBuffer& id);

    std::mutex mutex_;
    uint64_t session_ = 0;
    std::shared_ptr<const MechanismInfoList> mechanisms_;
    std::map<KeyName, Entry> keyObjects_;
    ObjectAttributeCache objectAttributes_{kConfirmationWindow};
    Clock clock_ = [] { return std::chrono::steady_clock::now(); };
};

#endif
