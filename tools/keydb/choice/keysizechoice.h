// The size of the RSA key pair a command generates: --bits N (2048 unless
// given) and --weak. Keys below 2048 bits are weak and made only with
// --weak, and never below 1024 bits; the token's own range for
// CKM_RSA_PKCS_KEY_PAIR_GEN bounds the size too.
#ifndef KEYDB_KEYSIZECHOICE_H
#define KEYDB_KEYSIZECHOICE_H

#include <CLI/CLI.hpp>

#include "raw/tokenmechanisms.h"

class KeySizeChoice {
public:
    // Adds --bits and --weak to the command's options.
    explicit KeySizeChoice(CLI::App& command);
    KeySizeChoice(const KeySizeChoice&) = delete;
    KeySizeChoice& operator=(const KeySizeChoice&) = delete;

    unsigned int bits() const { return bits_; }
    // Throws std::runtime_error, before anything is generated, when the
    // size is too weak or beyond what the token makes.
    void check(const TokenMechanisms& mechanisms) const;

private:
    unsigned int bits_ = 2048;
    bool weak_ = false;
};

#endif
