// The attributes of token objects as listings and item makers read them,
// kept so that the next view of the same objects reads nothing: a listing
// of keys, certificates, pairs and requests then reads each object once
// rather than once per view. The rules are those of the kept key handles:
// what is kept is forgotten at the client's next write on a token, and is
// trusted for a window (a second) after it was read, so a change another
// program makes is seen within that window. Guarded by its owner
// (TokenCache).
#ifndef MERVIL7_OBJECTATTRIBUTECACHE_H
#define MERVIL7_OBJECTATTRIBUTECACHE_H

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "attributetemplate.h"
#include "cryptoki.h"

class ObjectAttributeCache {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::steady_clock::duration;

    explicit ObjectAttributeCache(Duration window) : window_(window) {}

    // The kept values of all of `types`; none when one of them was not
    // read, or was read before the window or before the client's write
    // count became `writes`.
    std::optional<AttributeTemplate> find(CK_OBJECT_HANDLE object, const std::vector<CK_ATTRIBUTE_TYPE>& types,
                                          uint64_t writes, TimePoint now);
    // Keeps what a read gave that began when the write count was `writes`.
    // A CKA_VALUE is kept only with a CKA_CLASS of CKO_CERTIFICATE in the
    // same read: a key's CKA_VALUE may be its secret.
    void keep(CK_OBJECT_HANDLE object, const AttributeTemplate& values, uint64_t writes, TimePoint now);
    void clear() { entries_.clear(); }

private:
    struct Entry {
        AttributeTemplate values;
        uint64_t writes;
        TimePoint readAt;
    };

    // A read that the clock puts after `now` (a clock set back) is no
    // longer trusted either.
    bool fresh(const Entry& entry, uint64_t writes, TimePoint now) const {
        return entry.writes == writes && entry.readAt <= now && now - entry.readAt < window_;
    }
    // Drops the entries past their window, at most once a window, so that
    // objects never listed again are not kept.
    void sweep(uint64_t writes, TimePoint now);

    Duration window_;
    std::map<CK_OBJECT_HANDLE, Entry> entries_;
    TimePoint sweptAt_{};
};

#endif
