// A snapshot of the mechanisms the token in one slot offers, each with its
// Cryptoki information and a coarse category, and the standard names of
// mechanism types for diagnostics.
#ifndef MERVIL7_MECHANISMINFOLIST_H
#define MERVIL7_MECHANISMINFOLIST_H

#include <cstdint>
#include <iosfwd>
#include <vector>

#include "cryptoki.h"
#include "zepstring.h"

class SlotManager;

enum MechanismCategory : int32_t {
    CATEGORY_ANY = 0,  // as a filter: every category
    CATEGORY_OTHER = 1,
    CATEGORY_RSA_KEY_PAIR_GEN = 2,
    CATEGORY_DSA_KEY_PAIR_GEN = 3,
    CATEGORY_RSA = 4,
    CATEGORY_DSA = 5,
    CATEGORY_MD2 = 6,
    CATEGORY_MD5 = 7,
    CATEGORY_SHA1 = 8,
    CATEGORY_MD2_RSA = 9,
    CATEGORY_MD5_RSA = 10,
    CATEGORY_SHA1_RSA = 11,
    CATEGORY_DSA_SHA1 = 12,
};

struct MechanismInfo {
    CK_MECHANISM_TYPE type;
    CK_MECHANISM_INFO info;
    MechanismCategory category;
};

class MechanismInfoList {
public:
    // Reads the slot's mechanism list and the information of each mechanism.
    explicit MechanismInfoList(SlotManager& slotManager);

    size_t size() const { return entries_.size(); }
    // Each throws ZEPException 571003 for an index at or beyond size().
    CK_MECHANISM_TYPE getMechanismType(size_t index) const;
    void getMechanismInfo(size_t index, CK_MECHANISM_INFO& info) const;
    CK_MECHANISM_INFO getInfoAt(size_t index) const;

    bool contains(CK_MECHANISM_TYPE type) const;
    // Whether some mechanism of the category (any, for CATEGORY_ANY) signs.
    bool supportsSign(MechanismCategory category) const;

    // Flag tests of one entry; false when `filter` is not CATEGORY_ANY and
    // differs from the entry's category.
    bool canDecrypt(size_t index, MechanismCategory filter) const;
    bool canDigest(size_t index, MechanismCategory filter) const;
    bool canSign(size_t index, MechanismCategory filter) const;
    bool canVerify(size_t index, MechanismCategory filter) const;
    bool canGenerate(size_t index, MechanismCategory filter) const;
    bool canGenerateKeyPair(size_t index, MechanismCategory filter) const;
    bool canWrap(size_t index, MechanismCategory filter) const;
    bool canUnwrap(size_t index, MechanismCategory filter) const;
    bool canDerive(size_t index, MechanismCategory filter) const;

    // One line per mechanism: " Mechanism: 0x00000006 flags=0x00002800  CKM_SHA1_RSA_PKCS".
    void dump(std::ostream& out) const;
    void dump() const;

    // The standard name of a mechanism type, "CKM_VENDOR_DEFINED" for
    // 0x80000000 and "Unknown" for every type not named.
    static ZEPString getMechanismName(CK_MECHANISM_TYPE type);
    static MechanismCategory getCategory(CK_MECHANISM_TYPE type);

private:
    const MechanismInfo& entry(size_t index) const;
    bool hasFlag(size_t index, MechanismCategory filter, CK_FLAGS flag) const;

    std::vector<MechanismInfo> entries_;
};

#endif
