#include "home/defaulttoken.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "keystore/zepslotmanager.h"
#include "session/modulesession.h"
#include "io/output.h"
#include "home/randompin.h"
#include "choice/slotchoice.h"

namespace {
constexpr std::size_t userPinDigits = 8;
constexpr std::size_t soPinDigits = 12;

std::string_view textOf(const ZEPBuffer& pin) {
    return std::string_view(reinterpret_cast<const char*>(pin.getValue()), pin.getLength());
}
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

HomeLock DefaultToken::prepare(std::ostream& out, Access access) const {
    refuseIfOpen();
    home_.prepare();
    HomeLock lock(home_.folder() / "lock");
    lock.exclusive();
    if (setenv("SOFTHSM2_CONF", home_.confPath().c_str(), 1) != 0)
        throw std::runtime_error("cannot set SOFTHSM2_CONF");
    // Checked again under the lock: another keydb may have just made it.
    if (!home_.hasToken()) create(out);
    if (access == Access::read) lock.shared();
    return lock;
}

void DefaultToken::refuseIfOpen() const {
    struct stat status {};
    const std::string folder = home_.folder().string();
    if (::lstat(folder.c_str(), &status) != 0) {
        if (errno == ENOENT) return;
        throw std::system_error(errno, std::generic_category(), "cannot use " + folder);
    }
    if (!S_ISDIR(status.st_mode)) throw std::runtime_error(folder + " is no folder");
    if (status.st_uid != ::geteuid()) throw std::runtime_error(folder + " belongs to another user");
    if (status.st_mode & 066) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
        throw std::runtime_error(folder + " is open to other users (mode " + mode +
                                 "); make it private with: chmod 700 " + folder);
    }
}

void DefaultToken::create(std::ostream& out) const {
    try {
        const ZEPBuffer userPin = randomPin(userPinDigits);
        const ZEPBuffer soPin = randomPin(soPinDigits);
        // Through the module, so that the PINs never appear on a command line.
        {
            ModuleSession session(SoftHSMHome::libraryPath);
            session.run([&] {
                auto free = SlotChoice::firstSlot(session, [](const SlotInfo& info) {
                    return info.tokenPresent() && !info.tokenInitialised();
                });
                if (!free) throw std::runtime_error("SoftHSM2 offers no free slot in " + home_.folder().string());
                auto slot = session.openSlot(*free, 1);
                slot->initToken(soPin, label);
                slot->initPassword(soPin, userPin);
            });
        }
        // Written straight from the wiped buffers: no string copy of a PIN.
        out << "Created token \"" << label << "\" in " << home_.folder().string() << "\n"
            << "User PIN: " << textOf(userPin) << "\n"
            << "SO PIN: " << textOf(soPin) << "\n"
            << "Keep both PINs safe: they are shown only this once.\n";
        flushOrThrow(out, "the new token's PINs (the token is removed again)");
    } catch (...) {
        // PINs nobody saw would lock the token away: the next run starts over.
        home_.removeTokens();
        throw;
    }
}
