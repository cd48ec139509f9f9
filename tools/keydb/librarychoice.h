// The Cryptoki library a command works on: the one given with --library,
// else keydb's default token (see DefaultToken).
#ifndef KEYDB_LIBRARYCHOICE_H
#define KEYDB_LIBRARYCHOICE_H

#include <string>

#include <CLI/CLI.hpp>

#include "output.h"

class LibraryChoice {
public:
    // Adds --library to the command's options.
    explicit LibraryChoice(CLI::App& command);

    // The library path to connect to. Without --library it prepares the
    // default token first. Its creation notice goes to stdout before text
    // output, to stderr when stdout carries JSON.
    std::string resolve(Output::Format format) const;

private:
    std::string library_;
};

#endif
