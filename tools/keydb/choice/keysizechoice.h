// The key pair a command generates: an RSA key of --bits N (2048 unless
// given) or an EC key on the curve --ec names (P-256, P-384 or P-521, or
// openssl's names of them). RSA keys below 2048 bits are weak and made only
// with --weak, and never below 1024 bits; the token's own range for
// CKM_RSA_PKCS_KEY_PAIR_GEN or CKM_EC_KEY_PAIR_GEN bounds the size too.
#ifndef KEYDB_KEYSIZECHOICE_H
#define KEYDB_KEYSIZECHOICE_H

#include <CLI/CLI.hpp>

#include <string>

#include "raw/tokenmechanisms.h"

class ZEPECCurve;
class ZEPKRYPublicKeyGenAlgorithm;
class ZEPKRYAlgorithmFactory;

class KeySizeChoice {
public:
    // Adds --bits, --weak and --ec to the command's options; --ec excludes
    // the other two, and a curve of another name is a usage error.
    explicit KeySizeChoice(CLI::App& command);
    KeySizeChoice(const KeySizeChoice&) = delete;
    KeySizeChoice& operator=(const KeySizeChoice&) = delete;

    // The modulus size, or the curve's field size.
    unsigned int bits() const;
    // ZEPKRYKey::ALGORITHM_RSA or ALGORITHM_EC.
    int keyAlgorithm() const;
    // Throws std::runtime_error, before anything is generated, when the
    // size is too weak or beyond what the token makes.
    void check(const TokenMechanisms& mechanisms) const;
    // The factory's generator of such key pairs; throws std::runtime_error
    // when the module makes none.
    ZEPKRYPublicKeyGenAlgorithm* generator(const ZEPKRYAlgorithmFactory& factory) const;

private:
    unsigned int bits_ = 2048;
    bool weak_ = false;
    // Empty for RSA.
    std::string curveName_;
    const ZEPECCurve* curve() const;
};

#endif
