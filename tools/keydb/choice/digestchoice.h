// The digest and padding of the signatures a command makes: --sha256 (the
// default, as openssl dgst has it), --sha224, --sha384, --sha512, --sha1
// and, where the command offers it, --md5, each excluding the others, and
// --pss for RSASSA-PSS (MGF1 with the same digest, a salt as long as the
// digest) over SHA-256, SHA-384 or SHA-512; PKCS#1 v1.5 otherwise. EC
// keys sign with ECDSA over SHA-256, SHA-384 or SHA-512.
#ifndef KEYDB_DIGESTCHOICE_H
#define KEYDB_DIGESTCHOICE_H

#include <CLI/CLI.hpp>

#include <array>
#include <memory>
#include <optional>

#include "cryptoki.h"
#include "kry/zepkrysignaturescheme.h"
#include "raw/signaturemechanism.h"

class ZEPKRYAlgorithmFactory;
class ZEPKRYKey;
class ZEPKRYSignatureAlgorithm;

class DigestChoice {
public:
    enum class Md5 { offered, refused };
    struct Mechanism {
        CK_MECHANISM_TYPE type;
        const char* name;
    };

    // Adds the digest options and --pss to the command's options.
    DigestChoice(CLI::App& command, Md5 md5);
    DigestChoice(const DigestChoice&) = delete;
    DigestChoice& operator=(const DigestChoice&) = delete;

    // "SHA-256 with RSA", "SHA-384 with RSA-PSS", "MD5 with RSA" ...
    std::string name() const;
    // The scheme of a certification request's signature by a key of the
    // algorithm (ZEPKRYKey::ALGORITHM_RSA, ALGORITHM_EC); MD5 is not
    // offered where this is asked for. Throws as signer does for EC.
    ZEPKRYSignatureScheme scheme(int keyAlgorithm) const;
    // The module's signature algorithm of the choice for `privateKey`;
    // throws std::runtime_error when the module makes none, or when the
    // key is an EC key and the choice no ECDSA.
    std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(const ZEPKRYAlgorithmFactory& factory,
                                                     const ZEPKRYKey& privateKey) const;
    // Throws std::runtime_error when a key of `bits` cannot make the
    // signature: RSA-PSS needs room for the digest, a salt as long and two
    // bytes more.
    void checkKeySize(unsigned int bits) const;
    // The token mechanism a signature in parts needs: the combined
    // mechanism of MD5 and SHA-1, whose parts the module hands to the token
    // as they are. None for SHA-2: without the combined mechanism the
    // module digests the parts itself.
    std::optional<Mechanism> partsNeed() const;
    // The token mechanism of the choice for `privateKey` and its fallback,
    // for direct Cryptoki calls beside the module; throws as signer does
    // for an EC key.
    SignatureMechanism mechanism(const ZEPKRYKey& privateKey) const;

private:
    // The index of the digest option given, or of --sha256.
    std::size_t chosen() const;
    // As chosen, for an EC key: throws std::runtime_error when the choice
    // is --pss or a digest ECDSA is not offered with.
    std::size_t chosenForECDSA() const;

    std::array<bool, 6> given_{};
    bool pss_ = false;
};

#endif
