#include "modulediagnostics.h"

#include <iostream>

#include "output.h"

namespace {

template <typename Character, std::size_t size>
std::string text(const Character (&field)[size]) {
    return withoutPadding(std::string_view(reinterpret_cast<const char*>(field), size));
}

}  // namespace

std::string SlotInfo::description() const { return text(slot.slotDescription); }
std::string SlotInfo::tokenLabel() const { return text(token.label); }
std::string SlotInfo::serialNumber() const { return text(token.serialNumber); }

ModuleDiagnostics::ModuleDiagnostics(const LoadedLibrary& module)
    : getSlotAndTokenInfo_(reinterpret_cast<p11_getSlotAndTokenInfo_t>(module.symbol("p11_getSlotAndTokenInfo"))),
      dumpMechanisms_(reinterpret_cast<p11_dumpMechanisms_t>(module.symbol("p11_dumpMechanisms"))) {}

SlotInfo ModuleDiagnostics::slotInfo(ZEPPKCS11Manager& manager, CK_SLOT_ID slot) const {
    SlotInfo info;
    info.id = slot;
    getSlotAndTokenInfo_(&manager, slot, &info.slot, &info.token);
    return info;
}

void ModuleDiagnostics::dumpMechanisms(ZEPSlotManager& slotManager) const {
    // The module writes to the same standard output as keydb.
    std::cout.flush();
    dumpMechanisms_(&slotManager);
}
