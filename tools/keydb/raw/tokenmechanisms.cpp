#include "raw/tokenmechanisms.h"

TokenMechanisms::TokenMechanisms(const std::string& cryptokiPath, CK_SLOT_ID slot)
    : cryptoki_(cryptokiPath), slot_(slot) {}

std::optional<CK_MECHANISM_INFO> TokenMechanisms::info(CK_MECHANISM_TYPE type) const {
    CK_MECHANISM_INFO info{};
    const CK_RV value = cryptoki_.functions().C_GetMechanismInfo(slot_, type, &info);
    if (value == CKR_MECHANISM_INVALID) return std::nullopt;
    RawCryptoki::check(value, "C_GetMechanismInfo");
    return info;
}
