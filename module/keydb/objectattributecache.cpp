#include "objectattributecache.h"

std::optional<AttributeTemplate> ObjectAttributeCache::find(CK_OBJECT_HANDLE object,
                                                            const std::vector<CK_ATTRIBUTE_TYPE>& types,
                                                            uint64_t writes, TimePoint now) {
    const auto kept = entries_.find(object);
    // A stale entry is replaced by the next read kept, or swept.
    if (kept == entries_.end() || !fresh(kept->second, writes, now)) return std::nullopt;
    AttributeTemplate values;
    for (CK_ATTRIBUTE_TYPE type : types) {
        ZEPBuffer value;
        if (!kept->second.values.getAttribute(type, value)) return std::nullopt;
        values.setAttribute(type, value);
    }
    return values;
}

void ObjectAttributeCache::keep(CK_OBJECT_HANDLE object, const AttributeTemplate& values, uint64_t writes,
                                TimePoint now) {
    CK_ULONG objectClass = CKO_DATA;
    ZEPBuffer value;
    if (values.getAttribute(CKA_VALUE, value) &&
        !(values.getAttribute(CKA_CLASS, objectClass) && objectClass == CKO_CERTIFICATE))
        return;
    sweep(writes, now);
    auto [kept, added] = entries_.try_emplace(object, Entry{values, writes, now});
    if (added) return;
    Entry& entry = kept->second;
    // Added to what is still fresh, which keeps its own read time.
    if (!fresh(entry, writes, now)) entry = Entry{AttributeTemplate(), writes, now};
    for (const auto& [type, bytes] : values.values()) entry.values.setAttribute(type, bytes);
}

void ObjectAttributeCache::sweep(uint64_t writes, TimePoint now) {
    if (now - sweptAt_ < window_) return;
    sweptAt_ = now;
    std::erase_if(entries_, [&](const auto& kept) { return !fresh(kept.second, writes, now); });
}
