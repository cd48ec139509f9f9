#include "home/defaulttoken.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
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

// Why no token is made: JSON on standard output leaves standard error for
// the notice.
std::string unseenPins(Output::Format format) {
    return std::string("no default token is made while its new PINs would reach nobody: ") +
           (format == Output::Format::text ? "standard output and standard error are"
                                           : "standard output carries JSON, and standard error is") +
           " no terminal and no file; run keydb once at a terminal, or choose the PINs with KEYDB_PIN and "
           "KEYDB_SO_PIN";
}

std::string_view textOf(const ZEPBuffer& pin) {
    return std::string_view(reinterpret_cast<const char*>(pin.getValue()), pin.getLength());
}

// A terminal, or a regular file someone reads later; a pipe or a device
// may drop what it is given.
bool reachesAPerson(int descriptor) {
    struct stat status {};
    return ::isatty(descriptor) == 1 || (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode));
}

// Where a person reads the new token's notice: standard output unless it
// carries JSON, else standard error; none when neither reaches a person.
std::ostream* noticeStream(Output::Format format) {
    if (format == Output::Format::text && reachesAPerson(STDOUT_FILENO)) return &std::cout;
    if (reachesAPerson(STDERR_FILENO)) return &std::cerr;
    return nullptr;
}

// A PIN for the new token: the one the environment variable chooses, else
// fresh random digits, which only the notice shows.
struct NewPin {
    ZEPBuffer value;
    const char* chosenBy = nullptr;

    NewPin(const char* variable, std::size_t digits) {
        const char* chosen = std::getenv(variable);
        if (chosen && *chosen) {
            value = ZEPBuffer(std::strlen(chosen), chosen);
            chosenBy = variable;
        } else {
            value = randomPin(digits);
        }
    }
};

// Written straight from the wiped buffer: no string copy of a PIN.
std::ostream& operator<<(std::ostream& out, const NewPin& pin) {
    if (pin.chosenBy) return out << "the one " << pin.chosenBy << " gives";
    return out << textOf(pin.value);
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

void DefaultToken::prepare(Output::Format format, Need need) const {
    refuseIfOpen();
    home_.prepare();
    if (setenv("SOFTHSM2_CONF", home_.confPath().c_str(), 1) != 0)
        throw std::runtime_error("cannot set SOFTHSM2_CONF");
    if (home_.hasToken()) return;
    const NewPin userPin("KEYDB_PIN", userPinDigits);
    const NewPin soPin("KEYDB_SO_PIN", soPinDigits);
    std::ostream* notice = noticeStream(format);
    // A PIN nobody saw would lock the user out of the token.
    if (!notice && !(userPin.chosenBy && soPin.chosenBy)) {
        if (need == Need::token) throw std::runtime_error(unseenPins(format));
        std::cerr << "keydb: " << unseenPins(format) << std::endl;
        return;
    }
    HomeLock creating = lock(Access::write);
    // Checked again under the lock: another keydb may have just made it.
    if (home_.hasToken()) return;
    try {
        // Through the module, so that the PINs never appear on a command line.
        {
            ModuleSession session(SoftHSMHome::libraryPath);
            session.run([&] {
                auto free = SlotChoice::firstSlot(session, [](const SlotInfo& info) {
                    return info.tokenPresent() && !info.tokenInitialised();
                });
                if (!free) throw std::runtime_error("SoftHSM2 offers no free slot in " + home_.folder().string());
                auto slot = session.openSlot(*free, 1);
                slot->initToken(soPin.value, label);
                slot->initPassword(soPin.value, userPin.value);
            });
        }
        std::ostream& out = notice ? *notice : std::cerr;
        out << "Created token \"" << label << "\" in " << home_.folder().string() << "\n"
            << "User PIN: " << userPin << "\n"
            << "SO PIN: " << soPin << "\n"
            << "Keep the PINs safe: keydb does not keep them.\n";
        flushOrThrow(out, "the new token's PINs (the token is removed again)");
    } catch (...) {
        // PINs nobody saw would lock the token away: the next run starts over.
        home_.removeTokens();
        throw;
    }
}

HomeLock DefaultToken::lock(Access access) const {
    HomeLock lock(home_.folder() / "lock", "the default token in " + home_.folder().string());
    if (access == Access::write)
        lock.exclusive();
    else
        lock.shared();
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

