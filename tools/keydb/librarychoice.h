// The Cryptoki library a command works on: the one given with --library,
// else keydb's default token (see DefaultToken).
#ifndef KEYDB_LIBRARYCHOICE_H
#define KEYDB_LIBRARYCHOICE_H

#include <iosfwd>
#include <string>

#include <CLI/CLI.hpp>

class LibraryChoice {
public:
    // Adds --library to the command's options.
    explicit LibraryChoice(CLI::App& command);

    // The library path to connect to. Without --library it prepares the
    // default token first; `out` receives its creation notice.
    std::string resolve(std::ostream& out) const;

private:
    std::string library_;
};

#endif
