#include "mechanisminfolist.h"

#include <algorithm>
#include <iomanip>
#include <iostream>

#include "errorcodes.h"
#include "pkcs11client.h"
#include "slotmanager.h"

namespace {

struct NamedMechanism {
    CK_MECHANISM_TYPE type;
    const char* name;
};

#define ZEP_MECHANISM(name, value) {value, #name}
// The mechanisms named by version 2.01 of the standard, at their values.
constexpr NamedMechanism kMechanismNames[] = {
    ZEP_MECHANISM(CKM_RSA_PKCS_KEY_PAIR_GEN, 0x0),
    ZEP_MECHANISM(CKM_RSA_PKCS, 0x1),
    ZEP_MECHANISM(CKM_RSA_9796, 0x2),
    ZEP_MECHANISM(CKM_RSA_X_509, 0x3),
    ZEP_MECHANISM(CKM_MD2_RSA_PKCS, 0x4),
    ZEP_MECHANISM(CKM_MD5_RSA_PKCS, 0x5),
    ZEP_MECHANISM(CKM_SHA1_RSA_PKCS, 0x6),
    ZEP_MECHANISM(CKM_DSA_KEY_PAIR_GEN, 0x10),
    ZEP_MECHANISM(CKM_DSA, 0x11),
    ZEP_MECHANISM(CKM_DSA_SHA1, 0x12),
    ZEP_MECHANISM(CKM_DH_PKCS_KEY_PAIR_GEN, 0x20),
    ZEP_MECHANISM(CKM_DH_PKCS_DERIVE, 0x21),
    ZEP_MECHANISM(CKM_RC2_KEY_GEN, 0x100),
    ZEP_MECHANISM(CKM_RC2_ECB, 0x101),
    ZEP_MECHANISM(CKM_RC2_CBC, 0x102),
    ZEP_MECHANISM(CKM_RC2_MAC, 0x103),
    ZEP_MECHANISM(CKM_RC2_MAC_GENERAL, 0x104),
    ZEP_MECHANISM(CKM_RC2_CBC_PAD, 0x105),
    ZEP_MECHANISM(CKM_RC4_KEY_GEN, 0x110),
    ZEP_MECHANISM(CKM_RC4, 0x111),
    ZEP_MECHANISM(CKM_DES_KEY_GEN, 0x120),
    ZEP_MECHANISM(CKM_DES_ECB, 0x121),
    ZEP_MECHANISM(CKM_DES_CBC, 0x122),
    ZEP_MECHANISM(CKM_DES_MAC, 0x123),
    ZEP_MECHANISM(CKM_DES_MAC_GENERAL, 0x124),
    ZEP_MECHANISM(CKM_DES_CBC_PAD, 0x125),
    ZEP_MECHANISM(CKM_DES2_KEY_GEN, 0x130),
    ZEP_MECHANISM(CKM_DES3_KEY_GEN, 0x131),
    ZEP_MECHANISM(CKM_DES3_ECB, 0x132),
    ZEP_MECHANISM(CKM_DES3_CBC, 0x133),
    ZEP_MECHANISM(CKM_DES3_MAC, 0x134),
    ZEP_MECHANISM(CKM_DES3_MAC_GENERAL, 0x135),
    ZEP_MECHANISM(CKM_DES3_CBC_PAD, 0x136),
    ZEP_MECHANISM(CKM_CDMF_KEY_GEN, 0x140),
    ZEP_MECHANISM(CKM_CDMF_ECB, 0x141),
    ZEP_MECHANISM(CKM_CDMF_CBC, 0x142),
    ZEP_MECHANISM(CKM_CDMF_MAC, 0x143),
    ZEP_MECHANISM(CKM_CDMF_MAC_GENERAL, 0x144),
    ZEP_MECHANISM(CKM_CDMF_CBC_PAD, 0x145),
    ZEP_MECHANISM(CKM_MD2, 0x200),
    ZEP_MECHANISM(CKM_MD2_HMAC, 0x201),
    ZEP_MECHANISM(CKM_MD2_HMAC_GENERAL, 0x202),
    ZEP_MECHANISM(CKM_MD5, 0x210),
    ZEP_MECHANISM(CKM_MD5_HMAC, 0x211),
    ZEP_MECHANISM(CKM_MD5_HMAC_GENERAL, 0x212),
    ZEP_MECHANISM(CKM_SHA_1, 0x220),
    ZEP_MECHANISM(CKM_SHA_1_HMAC, 0x221),
    ZEP_MECHANISM(CKM_SHA_1_HMAC_GENERAL, 0x222),
    ZEP_MECHANISM(CKM_CAST_KEY_GEN, 0x300),
    ZEP_MECHANISM(CKM_CAST_ECB, 0x301),
    ZEP_MECHANISM(CKM_CAST_CBC, 0x302),
    ZEP_MECHANISM(CKM_CAST_MAC, 0x303),
    ZEP_MECHANISM(CKM_CAST_MAC_GENERAL, 0x304),
    ZEP_MECHANISM(CKM_CAST_CBC_PAD, 0x305),
    ZEP_MECHANISM(CKM_CAST3_KEY_GEN, 0x310),
    ZEP_MECHANISM(CKM_CAST3_ECB, 0x311),
    ZEP_MECHANISM(CKM_CAST3_CBC, 0x312),
    ZEP_MECHANISM(CKM_CAST3_MAC, 0x313),
    ZEP_MECHANISM(CKM_CAST3_MAC_GENERAL, 0x314),
    ZEP_MECHANISM(CKM_CAST3_CBC_PAD, 0x315),
    ZEP_MECHANISM(CKM_CAST5_KEY_GEN, 0x320),
    ZEP_MECHANISM(CKM_CAST5_ECB, 0x321),
    ZEP_MECHANISM(CKM_CAST5_CBC, 0x322),
    ZEP_MECHANISM(CKM_CAST5_MAC, 0x323),
    ZEP_MECHANISM(CKM_CAST5_MAC_GENERAL, 0x324),
    ZEP_MECHANISM(CKM_CAST5_CBC_PAD, 0x325),
    ZEP_MECHANISM(CKM_RC5_KEY_GEN, 0x330),
    ZEP_MECHANISM(CKM_RC5_ECB, 0x331),
    ZEP_MECHANISM(CKM_RC5_CBC, 0x332),
    ZEP_MECHANISM(CKM_RC5_MAC, 0x333),
    ZEP_MECHANISM(CKM_RC5_MAC_GENERAL, 0x334),
    ZEP_MECHANISM(CKM_RC5_CBC_PAD, 0x335),
    ZEP_MECHANISM(CKM_IDEA_KEY_GEN, 0x340),
    ZEP_MECHANISM(CKM_IDEA_ECB, 0x341),
    ZEP_MECHANISM(CKM_IDEA_CBC, 0x342),
    ZEP_MECHANISM(CKM_IDEA_MAC, 0x343),
    ZEP_MECHANISM(CKM_IDEA_MAC_GENERAL, 0x344),
    ZEP_MECHANISM(CKM_IDEA_CBC_PAD, 0x345),
    ZEP_MECHANISM(CKM_GENERIC_SECRET_KEY_GEN, 0x350),
    ZEP_MECHANISM(CKM_CONCATENATE_BASE_AND_KEY, 0x360),
    ZEP_MECHANISM(CKM_CONCATENATE_BASE_AND_DATA, 0x362),
    ZEP_MECHANISM(CKM_CONCATENATE_DATA_AND_BASE, 0x363),
    ZEP_MECHANISM(CKM_XOR_BASE_AND_DATA, 0x364),
    ZEP_MECHANISM(CKM_EXTRACT_KEY_FROM_KEY, 0x365),
    ZEP_MECHANISM(CKM_SSL3_PRE_MASTER_KEY_GEN, 0x370),
    ZEP_MECHANISM(CKM_SSL3_MASTER_KEY_DERIVE, 0x371),
    ZEP_MECHANISM(CKM_SSL3_KEY_AND_MAC_DERIVE, 0x372),
    ZEP_MECHANISM(CKM_SSL3_MD5_MAC, 0x380),
    ZEP_MECHANISM(CKM_SSL3_SHA1_MAC, 0x381),
    ZEP_MECHANISM(CKM_MD5_KEY_DERIVATION, 0x390),
    ZEP_MECHANISM(CKM_MD2_KEY_DERIVATION, 0x391),
    ZEP_MECHANISM(CKM_SHA1_KEY_DERIVATION, 0x392),
    ZEP_MECHANISM(CKM_PBE_MD2_DES_CBC, 0x3A0),
    ZEP_MECHANISM(CKM_PBE_MD5_DES_CBC, 0x3A1),
    ZEP_MECHANISM(CKM_PBE_MD5_CAST_CBC, 0x3A2),
    ZEP_MECHANISM(CKM_PBE_MD5_CAST3_CBC, 0x3A3),
    ZEP_MECHANISM(CKM_PBE_MD5_CAST5_CBC, 0x3A4),
    ZEP_MECHANISM(CKM_PBE_SHA1_CAST5_CBC, 0x3A5),
    ZEP_MECHANISM(CKM_KEY_WRAP_LYNKS, 0x400),
    ZEP_MECHANISM(CKM_KEY_WRAP_SET_OAEP, 0x401),
    ZEP_MECHANISM(CKM_SKIPJACK_KEY_GEN, 0x1000),
    ZEP_MECHANISM(CKM_SKIPJACK_ECB64, 0x1001),
    ZEP_MECHANISM(CKM_SKIPJACK_CBC64, 0x1002),
    ZEP_MECHANISM(CKM_SKIPJACK_OFB64, 0x1003),
    ZEP_MECHANISM(CKM_SKIPJACK_CFB64, 0x1004),
    ZEP_MECHANISM(CKM_SKIPJACK_CFB32, 0x1005),
    ZEP_MECHANISM(CKM_SKIPJACK_CFB16, 0x1006),
    ZEP_MECHANISM(CKM_SKIPJACK_CFB8, 0x1007),
    ZEP_MECHANISM(CKM_SKIPJACK_WRAP, 0x1008),
    ZEP_MECHANISM(CKM_SKIPJACK_PRIVATE_WRAP, 0x1009),
    ZEP_MECHANISM(CKM_SKIPJACK_RELAYX, 0x100A),
    ZEP_MECHANISM(CKM_KEA_KEY_PAIR_GEN, 0x1010),
    ZEP_MECHANISM(CKM_KEA_KEY_DERIVE, 0x1011),
    ZEP_MECHANISM(CKM_FORTEZZA_TIMESTAMP, 0x1020),
    ZEP_MECHANISM(CKM_BATON_KEY_GEN, 0x1030),
    ZEP_MECHANISM(CKM_BATON_ECB128, 0x1031),
    ZEP_MECHANISM(CKM_BATON_ECB96, 0x1032),
    ZEP_MECHANISM(CKM_BATON_CBC128, 0x1033),
    ZEP_MECHANISM(CKM_BATON_COUNTER, 0x1034),
    ZEP_MECHANISM(CKM_BATON_SHUFFLE, 0x1035),
    ZEP_MECHANISM(CKM_BATON_WRAP, 0x1036),
    ZEP_MECHANISM(CKM_ECDSA_KEY_PAIR_GEN, 0x1040),
    ZEP_MECHANISM(CKM_ECDSA, 0x1041),
    ZEP_MECHANISM(CKM_ECDSA_SHA1, 0x1042),
    ZEP_MECHANISM(CKM_MAYFLY_KEY_PAIR_GEN, 0x1050),
    ZEP_MECHANISM(CKM_MAYFLY_KEY_DERIVE, 0x1051),
    ZEP_MECHANISM(CKM_JUNIPER_KEY_GEN, 0x1060),
    ZEP_MECHANISM(CKM_JUNIPER_ECB128, 0x1061),
    ZEP_MECHANISM(CKM_JUNIPER_CBC128, 0x1062),
    ZEP_MECHANISM(CKM_JUNIPER_COUNTER, 0x1063),
    ZEP_MECHANISM(CKM_JUNIPER_SHUFFLE, 0x1064),
    ZEP_MECHANISM(CKM_JUNIPER_WRAP, 0x1065),
    ZEP_MECHANISM(CKM_FASTHASH, 0x1070),
};
#undef ZEP_MECHANISM
static_assert(std::size(kMechanismNames) == 133);

}  // namespace

MechanismInfoList::MechanismInfoList(SlotManager& slotManager) {
    PKCS11Client& client = *slotManager.getClient();
    CK_SLOT_ID slot = slotManager.getSlotId();
    std::vector<CK_MECHANISM_TYPE> types;
    client.getMechanismList(slot, types);
    entries_.reserve(types.size());
    for (CK_MECHANISM_TYPE type : types) {
        MechanismInfo entry{type, {}, getCategory(type)};
        client.getMechanismInfo(slot, type, &entry.info);
        entries_.push_back(entry);
    }
}

MechanismCategory MechanismInfoList::getCategory(CK_MECHANISM_TYPE type) {
    switch (type) {
        case CKM_RSA_PKCS_KEY_PAIR_GEN: return CATEGORY_RSA_KEY_PAIR_GEN;
        case CKM_DSA_KEY_PAIR_GEN: return CATEGORY_DSA_KEY_PAIR_GEN;
        case CKM_RSA_PKCS:
        case CKM_RSA_X_509: return CATEGORY_RSA;
        case CKM_DSA: return CATEGORY_DSA;
        case CKM_MD2: return CATEGORY_MD2;
        case CKM_MD5: return CATEGORY_MD5;
        case CKM_SHA_1: return CATEGORY_SHA1;
        case CKM_MD2_RSA_PKCS: return CATEGORY_MD2_RSA;
        case CKM_MD5_RSA_PKCS: return CATEGORY_MD5_RSA;
        case CKM_SHA1_RSA_PKCS: return CATEGORY_SHA1_RSA;
        case CKM_DSA_SHA1: return CATEGORY_DSA_SHA1;
        default: return CATEGORY_OTHER;
    }
}

const MechanismInfo& MechanismInfoList::entry(size_t index) const {
    if (index >= entries_.size()) throw ZEPException(ZEP_HERE, errorcode::INDEX_OUT_OF_RANGE, "");
    return entries_[index];
}

CK_MECHANISM_TYPE MechanismInfoList::getMechanismType(size_t index) const { return entry(index).type; }

void MechanismInfoList::getMechanismInfo(size_t index, CK_MECHANISM_INFO& info) const { info = entry(index).info; }

CK_MECHANISM_INFO MechanismInfoList::getInfoAt(size_t index) const { return entry(index).info; }

bool MechanismInfoList::contains(CK_MECHANISM_TYPE type) const {
    return std::any_of(entries_.begin(), entries_.end(), [type](const MechanismInfo& e) { return e.type == type; });
}

bool MechanismInfoList::hasFlag(size_t index, MechanismCategory filter, CK_FLAGS flag) const {
    const MechanismInfo& e = entry(index);
    if (filter != CATEGORY_ANY && filter != e.category) return false;
    return (e.info.flags & flag) != 0;
}

bool MechanismInfoList::supportsSign(MechanismCategory category) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (canSign(i, category)) return true;
    return false;
}

bool MechanismInfoList::canDecrypt(size_t i, MechanismCategory filter) const { return hasFlag(i, filter, CKF_DECRYPT); }
bool MechanismInfoList::canDigest(size_t i, MechanismCategory filter) const { return hasFlag(i, filter, CKF_DIGEST); }
bool MechanismInfoList::canSign(size_t i, MechanismCategory filter) const { return hasFlag(i, filter, CKF_SIGN); }
bool MechanismInfoList::canVerify(size_t i, MechanismCategory filter) const { return hasFlag(i, filter, CKF_VERIFY); }
bool MechanismInfoList::canGenerate(size_t i, MechanismCategory filter) const {
    return hasFlag(i, filter, CKF_GENERATE);
}
bool MechanismInfoList::canGenerateKeyPair(size_t i, MechanismCategory filter) const {
    return hasFlag(i, filter, CKF_GENERATE_KEY_PAIR);
}
bool MechanismInfoList::canWrap(size_t i, MechanismCategory filter) const { return hasFlag(i, filter, CKF_WRAP); }
bool MechanismInfoList::canUnwrap(size_t i, MechanismCategory filter) const { return hasFlag(i, filter, CKF_UNWRAP); }
bool MechanismInfoList::canDerive(size_t i, MechanismCategory filter) const { return hasFlag(i, filter, CKF_DERIVE); }

void MechanismInfoList::dump(std::ostream& out) const {
    for (const MechanismInfo& e : entries_) {
        out << " Mechanism: 0x" << std::hex << std::setfill('0') << std::setw(8) << e.type << std::dec
            << " flags=0x" << std::hex << std::setw(8) << e.info.flags << std::dec << std::setfill(' ') << "  "
            << getMechanismName(e.type) << std::endl;
    }
}

void MechanismInfoList::dump() const { dump(std::cout); }

ZEPString MechanismInfoList::getMechanismName(CK_MECHANISM_TYPE type) {
    for (const NamedMechanism& m : kMechanismNames)
        if (m.type == type) return m.name;
    return type == CKM_VENDOR_DEFINED ? "CKM_VENDOR_DEFINED" : "Unknown";
}
