#include "choice/keysizechoice.h"

#include <stdexcept>
#include <string>

namespace {
constexpr unsigned int strongBits = 2048;
constexpr unsigned int weakestBits = 1024;
}  // namespace

KeySizeChoice::KeySizeChoice(CLI::App& command) {
    command.add_option("--bits", bits_, "Modulus size in bits (default 2048)")->type_name("N");
    command.add_flag("--weak", weak_, "Allow a modulus of 1024 to 2047 bits");
}

void KeySizeChoice::check(const TokenMechanisms& mechanisms) const {
    const std::string size = std::to_string(bits_) + "-bit";
    if (bits_ < weakestBits)
        throw std::runtime_error(size + " RSA keys are broken: keydb makes keys of at least 2048 bits "
                                        "(1024 with --weak)");
    if (bits_ < strongBits && !weak_)
        throw std::runtime_error(size + " RSA keys are weak: use at least 2048 bits, or allow 1024 to 2047 "
                                        "with --weak");
    const auto info = mechanisms.info(CKM_RSA_PKCS_KEY_PAIR_GEN);
    if (!info) throw std::runtime_error("the token makes no RSA key pairs: it offers no CKM_RSA_PKCS_KEY_PAIR_GEN");
    // A token that gives no largest size (0) sets no upper bound.
    const bool tooLarge = info->ulMaxKeySize != 0 && bits_ > info->ulMaxKeySize;
    if (bits_ < info->ulMinKeySize || tooLarge)
        throw std::runtime_error("the token makes RSA keys of " + std::to_string(info->ulMinKeySize) + " to " +
                                 std::to_string(info->ulMaxKeySize) + " bits, not " + std::to_string(bits_));
}
