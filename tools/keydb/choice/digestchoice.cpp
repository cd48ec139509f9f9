#include "choice/digestchoice.h"

#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrykey.h"
#include "kry/zepkrysignaturealgorithm.h"

namespace {

using Scheme = ZEPKRYSignatureScheme;

struct DigestOption {
    const char* name;
    const char* help;
    // The scheme with PKCS#1 v1.5 and with RSA-PSS; MD5 has neither, its
    // signature comes from the factory's MD5 maker.
    std::optional<Scheme> pkcs1, pss;
    std::optional<DigestChoice::Mechanism> partsNeed;
    // The token mechanisms of the scheme with PKCS#1 v1.5 and with RSA-PSS.
    SignatureMechanism pkcs1Mechanism;
    std::optional<SignatureMechanism> pssMechanism;
    // ECDSA over the digest, for EC keys, and its token mechanism; SHA-2 of
    // 256 bits and more only.
    std::optional<Scheme> ecdsa;
    std::optional<SignatureMechanism> ecdsaMechanism;
};

using Digest = ZEPKRYDigestType;

constexpr std::size_t sha256 = 0;

const DigestOption digestOptions[] = {
    {"--sha256", "Hash with SHA-256 (the default)", Scheme::SHA256_WITH_RSA, Scheme::SHA256_WITH_RSA_PSS, {},
     {CKM_SHA256_RSA_PKCS, Digest::SHA256}, SignatureMechanism{CKM_SHA256_RSA_PKCS_PSS, Digest::SHA256, CKM_SHA256,
                                                                CKG_MGF1_SHA256},
     Scheme::SHA256_WITH_ECDSA, SignatureMechanism{CKM_ECDSA_SHA256, Digest::SHA256, 0, 0, true}},
    {"--sha224", "Hash with SHA-224", Scheme::SHA224_WITH_RSA, {}, {}, {CKM_SHA224_RSA_PKCS, Digest::SHA224}, {},
     {}, {}},
    {"--sha384", "Hash with SHA-384", Scheme::SHA384_WITH_RSA, Scheme::SHA384_WITH_RSA_PSS, {},
     {CKM_SHA384_RSA_PKCS, Digest::SHA384}, SignatureMechanism{CKM_SHA384_RSA_PKCS_PSS, Digest::SHA384, CKM_SHA384,
                                                                CKG_MGF1_SHA384},
     Scheme::SHA384_WITH_ECDSA, SignatureMechanism{CKM_ECDSA_SHA384, Digest::SHA384, 0, 0, true}},
    {"--sha512", "Hash with SHA-512", Scheme::SHA512_WITH_RSA, Scheme::SHA512_WITH_RSA_PSS, {},
     {CKM_SHA512_RSA_PKCS, Digest::SHA512}, SignatureMechanism{CKM_SHA512_RSA_PKCS_PSS, Digest::SHA512, CKM_SHA512,
                                                                CKG_MGF1_SHA512},
     Scheme::SHA512_WITH_ECDSA, SignatureMechanism{CKM_ECDSA_SHA512, Digest::SHA512, 0, 0, true}},
    {"--sha1", "Hash with SHA-1", Scheme::SHA1_WITH_RSA, {},
     DigestChoice::Mechanism{CKM_SHA1_RSA_PKCS, "CKM_SHA1_RSA_PKCS"}, {CKM_SHA1_RSA_PKCS, Digest::SHA1}, {},
     {}, {}},
    {"--md5", "Hash with MD5", {}, {}, DigestChoice::Mechanism{CKM_MD5_RSA_PKCS, "CKM_MD5_RSA_PKCS"},
     {CKM_MD5_RSA_PKCS, Digest::MD5}, {}, {}, {}},
};
constexpr std::size_t md5 = std::size(digestOptions) - 1;

}  // namespace

DigestChoice::DigestChoice(CLI::App& command, Md5 md5Option) {
    static_assert(std::size(digestOptions) == std::tuple_size_v<decltype(given_)>);
    std::vector<CLI::Option*> added;
    for (std::size_t i = 0; i < std::size(digestOptions); ++i) {
        if (i == md5 && md5Option == Md5::refused) break;
        CLI::Option* option = command.add_flag(digestOptions[i].name, given_[i], digestOptions[i].help);
        for (CLI::Option* other : added) option->excludes(other);
        added.push_back(option);
    }
    CLI::Option* pss = command.add_flag("--pss", pss_, "Sign with RSA-PSS (with SHA-256, SHA-384 or SHA-512)");
    for (std::size_t i = 0; i < added.size(); ++i)
        if (!digestOptions[i].pss) pss->excludes(added[i]);
}

std::size_t DigestChoice::chosen() const {
    for (std::size_t i = 0; i < given_.size(); ++i)
        if (given_[i]) return i;
    return sha256;
}

std::string DigestChoice::name() const {
    const DigestOption& option = digestOptions[chosen()];
    return option.pkcs1 ? (pss_ ? option.pss : option.pkcs1)->getName() : "MD5 with RSA";
}

ZEPKRYSignatureScheme DigestChoice::scheme(int keyAlgorithm) const {
    if (keyAlgorithm == ZEPKRYKey::ALGORITHM_EC) return *digestOptions[chosenForECDSA()].ecdsa;
    const DigestOption& option = digestOptions[chosen()];
    return *(pss_ ? option.pss : option.pkcs1);
}

std::unique_ptr<ZEPKRYSignatureAlgorithm> DigestChoice::signer(const ZEPKRYAlgorithmFactory& factory,
                                                               const ZEPKRYKey& privateKey) const {
    const bool md5Chosen = !digestOptions[chosen()].pkcs1;
    if (md5Chosen && privateKey.getAlgorithm() != ZEPKRYKey::ALGORITHM_EC) {
        std::unique_ptr<ZEPKRYSignatureAlgorithm> made(factory.make_MD5WithRSA_SignatureAlgorithm(privateKey));
        if (!made) throw std::runtime_error("the module makes no " + name() + " signature");
        return made;
    }
    const ZEPKRYSignatureScheme chosenScheme = scheme(privateKey.getAlgorithm());
    std::unique_ptr<ZEPKRYSignatureAlgorithm> made(chosenScheme.makeSignatureAlgorithm(factory, privateKey));
    if (!made) throw std::runtime_error(std::string("the module makes no ") + chosenScheme.getName() + " signature");
    return made;
}

void DigestChoice::checkKeySize(unsigned int bits) const {
    if (!pss_) return;
    // RFC 8017, 9.1.1: the encoded message of modBits - 1 bits holds the
    // digest, the salt and two bytes more.
    const std::size_t least = 8 * (2 * scheme(ZEPKRYKey::ALGORITHM_RSA).getDigestType().getLength() + 1) + 2;
    if (bits < least)
        throw std::runtime_error(name() + " needs a key of at least " + std::to_string(least) + " bits, not " +
                                 std::to_string(bits));
}

std::optional<DigestChoice::Mechanism> DigestChoice::partsNeed() const { return digestOptions[chosen()].partsNeed; }

SignatureMechanism DigestChoice::mechanism(const ZEPKRYKey& privateKey) const {
    if (privateKey.getAlgorithm() == ZEPKRYKey::ALGORITHM_EC) return *digestOptions[chosenForECDSA()].ecdsaMechanism;
    const DigestOption& option = digestOptions[chosen()];
    return pss_ ? *option.pssMechanism : option.pkcs1Mechanism;
}

std::size_t DigestChoice::chosenForECDSA() const {
    const std::size_t index = chosen();
    if (pss_) throw std::runtime_error("--pss signs with RSA keys, and the key is an EC key");
    if (!digestOptions[index].ecdsa)
        throw std::runtime_error(std::string("an EC key signs with ECDSA over SHA-256, SHA-384 or SHA-512, not with ") +
                                 digestOptions[index].name);
    return index;
}
