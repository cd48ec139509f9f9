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
#include "io/output.h"

class DefaultToken {
public:
    static constexpr const char* label = "keydb";
    enum class Access { read, write };
    // Whether a command needs the token, or only the library it is in.
    enum class Need { token, library };

    // The home in $XDG_DATA_HOME/keydb, else ~/.local/share/keydb.
    DefaultToken();

    // Prepares the home (refusing one that others can read or write) and
    // points SOFTHSM2_CONF at it for this process. When it holds no token
    // yet, creates one and shows its PINs on standard output (standard
    // error when standard output carries JSON or reaches no person), the
    // PINs that KEYDB_PIN and KEYDB_SO_PIN choose, or fresh random ones.
    // Random PINs are shown only on a terminal or a regular file: when
    // neither stream is one, no token is made, and prepare throws, or for
    // Need::library says so on stderr and goes on without a token. Holds
    // the home's lock only while it creates the token.
    void prepare(Output::Format format, Need need) const;
    // The home's lock, held for `access`: keep it while using the token.
    HomeLock lock(Access access) const;

private:
    static std::filesystem::path dataFolder();
    void refuseIfOpen() const;

    SoftHSMHome home_;
};

#endif
