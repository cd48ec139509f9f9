// What token operations on one slot keep between calls: the token's
// mechanism list and the handles of the key objects they worked with, so a
// signature costs its Init and its data calls rather than a mechanism list
// and a search each time. Everything kept belongs to one session: when the
// slot manager opens a new one (the old one was lost, or the token was
// initialised), the cache starts empty. A kept key handle is read back
// before it is used (see PKCS11KRYTokenKey).
#ifndef MERVIL7_TOKENCACHE_H
#define MERVIL7_TOKENCACHE_H

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "cryptoki.h"
#include "zepbuffer.h"

class MechanismInfoList;
class SlotManager;

class TokenCache {
public:
    // The slot's mechanism list, read from the token once per session.
    std::shared_ptr<const MechanismInfoList> mechanisms(SlotManager& slot);
    // The key object kept for this class and CKA_ID, or 0.
    CK_OBJECT_HANDLE keyObject(SlotManager& slot, CK_OBJECT_CLASS objectClass, const ZEPBuffer& id);
    void keepKeyObject(SlotManager& slot, CK_OBJECT_CLASS objectClass, const ZEPBuffer& id, CK_OBJECT_HANDLE object);
    void forgetKeyObject(SlotManager& slot, CK_OBJECT_CLASS objectClass, const ZEPBuffer& id);

private:
    using KeyName = std::pair<CK_OBJECT_CLASS, std::string>;

    // Empties the cache when it belongs to another session than the slot's
    // current one; called with the mutex held.
    void follow(SlotManager& slot);
    static KeyName nameOf(CK_OBJECT_CLASS objectClass, const ZEPBuffer& id);

    std::mutex mutex_;
    uint64_t session_ = 0;
    std::shared_ptr<const MechanismInfoList> mechanisms_;
    std::map<KeyName, CK_OBJECT_HANDLE> keyObjects_;
};

#endif
