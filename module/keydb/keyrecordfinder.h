// Finds the objects that belong to a key record: the first object of a
// class, in the token's order, whose CKA_ID and CKA_SUBJECT equal the
// record's, as SlotManagerUtility::findItem with MATCH_KEY_RECORD does.
//
// An indexing finder reads the CKA_ID and CKA_SUBJECT of every object of a
// class once, the first time it is asked for that class, and answers from
// that index: a listing of n pairs then costs one search per class instead
// of one per item, which a token that scans all its objects per search
// makes quadratic. An object found in the index is read back before it is
// trusted, unless it was read within the last second with no write by the
// module since (ObjectReader); one that has vanished or changed since is
// looked for with findItem, so the answers stay those of the search.
#ifndef MERVIL7_KEYRECORDFINDER_H
#define MERVIL7_KEYRECORDFINDER_H

#include <map>
#include <string>
#include <utility>

#include "cryptoki.h"
#include "zepbuffer.h"

class SlotManager;

class KeyRecordFinder {
public:
    enum class Mode { search, index };

    explicit KeyRecordFinder(Mode mode) : mode_(mode) {}

    // True with the object's handle when an object of the class belongs to
    // the key record `recordDER`.
    bool find(SlotManager& slot, CK_OBJECT_CLASS objectClass, const ZEPBuffer& recordDER, CK_OBJECT_HANDLE& handle);

private:
    // CKA_ID and CKA_SUBJECT as byte strings; absent ones are empty.
    using Identity = std::pair<std::string, std::string>;
    using Index = std::map<Identity, CK_OBJECT_HANDLE>;

    const Index& indexOf(SlotManager& slot, CK_OBJECT_CLASS objectClass);
    static Identity identityOf(SlotManager& slot, CK_OBJECT_CLASS objectClass, CK_OBJECT_HANDLE object);

    Mode mode_;
    std::map<CK_OBJECT_CLASS, Index> indexes_;
};

#endif
