#include "defaulttoken.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <ostream>
#include <stdexcept>

#include "keystore/zepslotmanager.h"
#include "modulesession.h"
#include "randompin.h"
#include "slotchoice.h"

namespace {
constexpr std::size_t userPinDigits = 8;
constexpr std::size_t soPinDigits = 12;
}  // namespace

DefaultToken::DefaultToken() : home_(dataFolder() / "keydb") {}

std::filesystem::path DefaultToken::dataFolder() {
    // Relative values are invalid by the XDG base directory rules.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* entry = getpwuid(getuid());
        if (!entry) throw std::runtime_error("cannot find the home folder: HOME is not set");
        home = entry->pw_dir;
    }
    return std::filesystem::path(home) / ".local" / "share";
}

std::string DefaultToken::prepare(std::ostream& out) const {
    home_.prepare();
    if (setenv("SOFTHSM2_CONF", home_.confPath().c_str(), 1) != 0)
        throw std::runtime_error("cannot set SOFTHSM2_CONF");
    if (!home_.hasToken()) create(out);
    return SoftHSMHome::libraryPath;
}

void DefaultToken::create(std::ostream& out) const {
    std::string userPin = randomPin(userPinDigits);
    std::string soPin = randomPin(soPinDigits);
    // Through the module, so that the PINs never appear on a command line.
    {
        ModuleSession session(SoftHSMHome::libraryPath);
        auto free = SlotChoice::firstSlot(session, [](const SlotInfo& info) {
            return info.tokenPresent() && !info.tokenInitialised();
        });
        if (!free) throw std::runtime_error("SoftHSM2 offers no free slot in " + home_.folder().string());
        auto slot = session.openSlot(*free, 1);
        ZEPBuffer so(soPin.size(), soPin.data());
        slot->initToken(so, label);
        slot->initPassword(so, ZEPBuffer(userPin.size(), userPin.data()));
    }
    out << "Created token \"" << label << "\" in " << home_.folder().string() << "\n"
        << "User PIN: " << userPin << "\n"
        << "SO PIN: " << soPin << "\n"
        << "Keep both PINs safe: they are shown only this once.\n";
}
