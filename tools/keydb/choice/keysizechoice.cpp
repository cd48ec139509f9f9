#include "choice/keysizechoice.h"

#include <stdexcept>
#include <string>

#include "asn/zepeccurve.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrykey.h"
#include "kry/zepkrypublickeygenalgorithm.h"

namespace {
constexpr unsigned int strongBits = 2048;
constexpr unsigned int weakestBits = 1024;

// The token's size range for a key-pair mechanism, in bits for both RSA
// and EC keys.
void checkRange(const TokenMechanisms& mechanisms, CK_MECHANISM_TYPE type, const char* mechanismName,
                const std::string& kind, unsigned int bits) {
    const auto info = mechanisms.info(type);
    if (!info)
        throw std::runtime_error("the token makes no " + kind + " key pairs: it offers no " + mechanismName);
    // A token that gives no largest size (0) sets no upper bound.
    const bool tooLarge = info->ulMaxKeySize != 0 && bits > info->ulMaxKeySize;
    if (bits < info->ulMinKeySize || tooLarge)
        throw std::runtime_error("the token makes " + kind + " keys of " + std::to_string(info->ulMinKeySize) +
                                 " to " + std::to_string(info->ulMaxKeySize) + " bits, not " + std::to_string(bits));
}
}  // namespace

KeySizeChoice::KeySizeChoice(CLI::App& command) {
    CLI::Option* bits = command.add_option("--bits", bits_, "Modulus size in bits (default 2048)")->type_name("N");
    CLI::Option* weak = command.add_flag("--weak", weak_, "Allow a modulus of 1024 to 2047 bits");
    command.add_option("--ec", curveName_, "Make an EC key on the curve P-256, P-384 or P-521 instead of RSA")
        ->type_name("CURVE")
        ->check([](const std::string& name) {
            return ZEPECCurve::find(name) ? std::string()
                                          : "unknown curve \"" + name + "\": keydb makes EC keys on P-256, P-384 "
                                                                        "and P-521";
        })
        ->excludes(bits)
        ->excludes(weak);
}

const ZEPECCurve* KeySizeChoice::curve() const { return curveName_.empty() ? nullptr : ZEPECCurve::find(curveName_); }

unsigned int KeySizeChoice::bits() const { return curve() ? curve()->getFieldBits() : bits_; }

int KeySizeChoice::keyAlgorithm() const { return curve() ? ZEPKRYKey::ALGORITHM_EC : ZEPKRYKey::ALGORITHM_RSA; }

void KeySizeChoice::check(const TokenMechanisms& mechanisms) const {
    if (curve()) return checkRange(mechanisms, CKM_EC_KEY_PAIR_GEN, "CKM_EC_KEY_PAIR_GEN", "EC", bits());
    const std::string size = std::to_string(bits_) + "-bit";
    if (bits_ < weakestBits)
        throw std::runtime_error(size + " RSA keys are broken: keydb makes keys of at least 2048 bits "
                                        "(1024 with --weak)");
    if (bits_ < strongBits && !weak_)
        throw std::runtime_error(size + " RSA keys are weak: use at least 2048 bits, or allow 1024 to 2047 "
                                        "with --weak");
    checkRange(mechanisms, CKM_RSA_PKCS_KEY_PAIR_GEN, "CKM_RSA_PKCS_KEY_PAIR_GEN", "RSA", bits_);
}

ZEPKRYPublicKeyGenAlgorithm* KeySizeChoice::generator(const ZEPKRYAlgorithmFactory& factory) const {
    ZEPKRYPublicKeyGenAlgorithm* made =
        curve() ? factory.make_EC_PublicKeyGenAlgorithm(*curve()) : factory.make_RSA_PublicKeyGenAlgorithm(bits_);
    if (!made) throw std::runtime_error(std::string("the module makes no ") + (curve() ? "EC" : "RSA") + " key pairs");
    return made;
}
