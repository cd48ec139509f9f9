// keydb's embedded default: a SoftHSM2 token labelled "keydb" in a private
// SoftHSM2 home in the user's data folder, created on first use.
#ifndef KEYDB_DEFAULTTOKEN_H
#define KEYDB_DEFAULTTOKEN_H

#include <filesystem>
#include <iosfwd>
#include <string>

#include "softhsmhome.h"

class DefaultToken {
public:
    static constexpr const char* label = "keydb";

    // The home in $XDG_DATA_HOME/keydb, else ~/.local/share/keydb.
    DefaultToken();

    // Prepares the home, points SOFTHSM2_CONF at it for this process and,
    // when it holds no token yet, creates one with fresh PINs and tells
    // `out` where it is and what its PINs are. Returns the Cryptoki library
    // to load.
    std::string prepare(std::ostream& out) const;

private:
    static std::filesystem::path dataFolder();
    void create(std::ostream& out) const;

    SoftHSMHome home_;
};

#endif
