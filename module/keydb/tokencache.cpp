#include "tokencache.h"

#include "mechanisminfolist.h"
#include "pkcs11client.h"
#include "slotmanager.h"

void TokenCache::follow(SlotManager& slot) {
    const uint64_t current = slot.getSessionGeneration();
    if (current == session_) return;
    session_ = current;
    mechanisms_.reset();
    keyObjects_.clear();
    objectAttributes_.clear();
}

TokenCache::KeyName TokenCache::nameOf(CK_OBJECT_CLASS objectClass, const ZEPBuffer& id) {
    return KeyName(objectClass, std::string(reinterpret_cast<const char*>(id.getValue()), id.getLength()));
}

std::shared_ptr<const MechanismInfoList> TokenCache::mechanisms(SlotManager& slot) {
    {
        std::lock_guard lock(mutex_);
        follow(slot);
        if (mechanisms_) return mechanisms_;
    }
    // Read without holding the cache: the token answers in its own time.
    auto read = std::make_shared<const MechanismInfoList>(slot);
    std::lock_guard lock(mutex_);
    follow(slot);
    if (!mechanisms_) mechanisms_ = std::move(read);
    return mechanisms_;
}

std::optional<TokenCache::KeptKey> TokenCache::keyObject(SlotManager& slot, CK_OBJECT_CLASS objectClass,
                                                         const ZEPBuffer& id) {
    std::lock_guard lock(mutex_);
    follow(slot);
    const auto kept = keyObjects_.find(nameOf(objectClass, id));
    if (kept == keyObjects_.end()) return std::nullopt;
    const Entry& entry = kept->second;
    if (entry.writes != slot.getClient()->writeCount()) {
        keyObjects_.erase(kept);
        return std::nullopt;
    }
    return KeptKey{entry.object, entry.outputLength, clock_() - entry.confirmedAt < kConfirmationWindow};
}

void TokenCache::keepKeyObject(SlotManager& slot, CK_OBJECT_CLASS objectClass, const ZEPBuffer& id,
                               CK_OBJECT_HANDLE object, CK_ULONG outputLength, uint64_t writes) {
    std::lock_guard lock(mutex_);
    follow(slot);
    keyObjects_[nameOf(objectClass, id)] = Entry{object, outputLength, writes, clock_()};
}

void TokenCache::confirmKeyObject(SlotManager& slot, CK_OBJECT_CLASS objectClass, const ZEPBuffer& id) {
    std::lock_guard lock(mutex_);
    follow(slot);
    const auto kept = keyObjects_.find(nameOf(objectClass, id));
    if (kept != keyObjects_.end()) kept->second.confirmedAt = clock_();
}

void TokenCache::forgetKeyObject(SlotManager& slot, CK_OBJECT_CLASS objectClass, const ZEPBuffer& id) {
    std::lock_guard lock(mutex_);
    follow(slot);
    keyObjects_.erase(nameOf(objectClass, id));
}

std::optional<AttributeTemplate> TokenCache::objectAttributes(SlotManager& slot, CK_OBJECT_HANDLE object,
                                                              const std::vector<CK_ATTRIBUTE_TYPE>& types) {
    std::lock_guard lock(mutex_);
    follow(slot);
    return objectAttributes_.find(object, types, slot.getClient()->writeCount(), clock_());
}

void TokenCache::keepObjectAttributes(SlotManager& slot, CK_OBJECT_HANDLE object, const AttributeTemplate& values,
                                      uint64_t writes) {
    std::lock_guard lock(mutex_);
    follow(slot);
    objectAttributes_.keep(object, values, writes, clock_());
}

void TokenCache::setClock(Clock clock) {
    std::lock_guard lock(mutex_);
    clock_ = std::move(clock);
}
