// The Cryptoki library a command works on: the one given with --library or
// by the module-path of --uri, else keydb's default token (see
// DefaultToken).
#ifndef KEYDB_LIBRARYCHOICE_H
#define KEYDB_LIBRARYCHOICE_H

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "home/defaulttoken.h"
#include "choice/urioption.h"
#include "io/output.h"

// The library to connect to and, for the default token, the lock to hold
// until the connection is closed.
struct ChosenLibrary {
    std::string path;
    std::optional<HomeLock> lock;
};

class LibraryChoice {
public:
    using Access = DefaultToken::Access;
    using Need = DefaultToken::Need;

    // Adds --library to the command's options; an empty path is refused.
    // With `uri`, its module-path stands in for --library.
    explicit LibraryChoice(CLI::App& command, UriOption* uri = nullptr);

    bool isDefaultToken() const { return !given(); }
    // The library's path. Without --library it prepares the default token
    // first (see DefaultToken::prepare); its creation notice goes to stdout
    // before text output, to stderr when stdout carries JSON. No lock is
    // held afterwards.
    std::string prepare(Output::Format format, Need need) const;
    // The default token's lock, held for `access`; none for other libraries.
    std::optional<HomeLock> lock(Access access) const;
    // prepare, then lock.
    ChosenLibrary resolve(Output::Format format, Access access, Need need) const;

private:
    // The path of --library or of the URI, if either gives one.
    std::optional<std::string> given() const;

    std::optional<std::string> library_;
    const UriOption* uri_;
};

#endif
