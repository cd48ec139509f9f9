// keydb's embedded default: a SoftHSM2 token labelled "keydb" in a private
// SoftHSM2 home in the user's data folder, created on first use. keydb
// processes using it hold the home's lock while they work: shared to read,
// exclusive to change the token or create it, so that concurrent first runs
// create one token.
#ifndef KEYDB_DEFAULTTOKEN_H
#define KEYDB_DEFAULTTOKEN_H

#include <filesystem>
#include <iosfwd>
#include <string>

#include "home/homelock.h"
#include "home/softhsmhome.h"

class DefaultToken {
public:
    static constexpr const char* label = "keydb";
    enum class Access { read, write };

    // The home in $XDG_DATA_HOME/keydb, else ~/.local/share/keydb.
    DefaultToken();

    // Prepares the home (refusing one that others can read or write),
    // points SOFTHSM2_CONF at it for this process and, when it holds no
    // token yet, creates one with fresh PINs and tells `out` where it is and
    // what its PINs are. When that notice cannot be written the token is
    // removed again and the call throws. Returns the home's lock, held for
    // `access`: keep it while using the token.
    HomeLock prepare(std::ostream& out, Access access) const;

private:
    static std::filesystem::path dataFolder();
    void refuseIfOpen() const;
    void create(std::ostream& out) const;

    SoftHSMHome home_;
};

#endif
