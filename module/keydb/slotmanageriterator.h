// The iterators of the key database: the object handles a listing found
// when it began, and the position of the next one to visit. Each kind
// answers only for its own class name.
#ifndef MERVIL7_SLOTMANAGERITERATOR_H
#define MERVIL7_SLOTMANAGERITERATOR_H

#include <algorithm>
#include <vector>

#include "cryptoki.h"
#include "keyrecordfinder.h"
#include "keystore/zepslotmanager.h"
#include "tokenlabel.h"

class SlotManagerHandleIterator : public ZEPSlotManager::Iterator {
public:
    explicit SlotManagerHandleIterator(std::vector<CK_OBJECT_HANDLE> handles) : handles_(std::move(handles)) {}

    bool atEnd() const { return cursor_ >= handles_.size(); }
    CK_OBJECT_HANDLE current() const { return handles_[cursor_]; }
    void advance() { ++cursor_; }
    // Finds the objects that belong to the visited ones (a certificate's
    // private key, a request's public key), from one index for the whole
    // listing.
    KeyRecordFinder& finder() { return finder_; }
    // The token label the listing's key records name, read once.
    TokenLabel& tokenLabel() { return tokenLabel_; }

private:
    const std::vector<CK_OBJECT_HANDLE> handles_;
    size_t cursor_ = 0;
    KeyRecordFinder finder_{KeyRecordFinder::Mode::index};
    TokenLabel tokenLabel_;
};

// A class name as a template argument.
template <size_t N>
struct IteratorName {
    constexpr IteratorName(const char (&text)[N]) { std::copy_n(text, N, name); }
    char name[N];
};

template <IteratorName Name>
class SlotManagerIteratorOf : public SlotManagerHandleIterator {
public:
    using SlotManagerHandleIterator::SlotManagerHandleIterator;
    bool isKindOf(const ZEPString& className) const override { return className.compare(getClassName()) == 0; }
    ZEPString getInstanceName() const override { return getClassName(); }
    static ZEPString getClassName() { return Name.name; }
};

// Keys (private ones first) and, for requests, private keys.
class SlotManagerKeyIterator : public SlotManagerIteratorOf<"SlotManagerKeyIterator"> {
public:
    using SlotManagerIteratorOf::SlotManagerIteratorOf;
};

class SlotManagerCertIterator : public SlotManagerIteratorOf<"SlotManagerCertIterator"> {
public:
    using SlotManagerIteratorOf::SlotManagerIteratorOf;
};

class SlotManagerKeyCertIterator : public SlotManagerIteratorOf<"SlotManagerKeyCertIterator"> {
public:
    using SlotManagerIteratorOf::SlotManagerIteratorOf;
};

#endif
