#include "commands/cryptocommands.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "io/failuretext.h"
#include "io/inputfile.h"
#include "io/keyfacts.h"
#include "keystore/zepkeyitem.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrydecryptionalgorithm.h"
#include "kry/zepkryencryptionalgorithm.h"
#include "kry/zepkryrandomdatagenalgorithm.h"
#include "kry/zepkrysignaturealgorithm.h"
#include "kry/zepkryutility.h"
#include "raw/tokenmechanisms.h"

namespace {

// A signature's input is read and signed in blocks of this size.
constexpr std::size_t signatureBlock = 256 * 1024;
// Without a mechanism of the token that hashes, a signature's input is
// read whole: at most this much.
constexpr std::size_t wholeSignatureLimit = 64 * 1024 * 1024;
// Random bytes are asked for and written in blocks of this size.
constexpr std::uint64_t randomBlock = 64 * 1024;
// PKCS#1 v1.5 encryption pads a message with at least 11 bytes.
constexpr std::size_t encryptionPadding = 11;
// The length of an SSL signature's MD5 and SHA-1 digests.
constexpr std::size_t sslSignatureLength = 36;

std::unique_ptr<ZEPKRYAlgorithmFactory> factoryOf(ZEPSlotManager& slot) {
    return std::unique_ptr<ZEPKRYAlgorithmFactory>(slot.getZEPKRYAlgorithmFactory());
}

// A maker's algorithm; a maker that answers null has no such algorithm.
template <typename Algorithm>
std::unique_ptr<Algorithm> made(Algorithm* algorithm, const std::string& what) {
    if (!algorithm) throw std::runtime_error("the module makes no " + what);
    return std::unique_ptr<Algorithm>(algorithm);
}

// The key's modulus size in bytes.
std::size_t modulusBytes(const ZEPKRYKey& key) { return (ZEPKRYUtility::getKeySizeInBits(key) + 7) / 8; }

// "a 2048-bit key".
std::string sizedKey(const ZEPKRYKey& key) {
    return "a " + std::to_string(ZEPKRYUtility::getKeySizeInBits(key)) + "-bit key";
}

// Whether the token signs with raw RSA, which the module then uses for an
// SSL signature's 36 bytes.
bool signsRawRSA(const TokenMechanisms& mechanisms) {
    for (CK_MECHANISM_TYPE type : {CKM_RSA_PKCS, CKM_RSA_X_509}) {
        const auto info = mechanisms.info(type);
        if (info && (info->flags & CKF_SIGN)) return true;
    }
    return false;
}

}  // namespace

KeyDataCommand::KeyDataCommand(CLI::App& app, const std::string& name, const std::string& description)
    : DatabaseCommand(app, name, description), key_(options(), uri()) {
    options().add_option("--in", in_, "File to read (default: standard input)")->type_name("FILE");
    options().add_option("--out", out_, "File to write (default: standard output)")->type_name("FILE");
}

void KeyDataCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    // Opened first: an output that cannot be written is refused before the
    // token does any work.
    OutputFile out(out_);
    transform(slot, diagnostics, in_, out);
    out.commit();
}

SignCommand::SignCommand(CLI::App& app)
    : KeyDataCommand(app, "sign", "Sign data with a key on the token (PKCS#1 v1.5, RSA-PSS or ECDSA)"),
      digest_(options(), DigestChoice::Md5::offered) {}

void SignCommand::transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const std::string& in,
                            OutputFile& out) {
    auto key = key_.privateKey(slot, diagnostics);
    auto signature = digest_.signer(*factoryOf(slot), key->getKey());
    InputFile input(in);
    // The module hands parts of MD5 and SHA-1 signatures to the token as
    // they are: only a mechanism that hashes makes their signature that of
    // the whole.
    const auto needed = digest_.partsNeed();
    if (needed && !TokenMechanisms(cryptokiPath(), slot.getSlotId()).offers(needed->type)) {
        const ZEPBuffer data = readBoundedInput(input, wholeSignatureLimit,
                                                std::string("the most keydb signs on a token without ") + needed->name);
        out.write(signature->signData(data.get()));
        return;
    }
    std::vector<char> block(signatureBlock);
    signature->signDataInit();
    while (std::size_t count = input.read(block.data(), block.size()))
        signature->signDataUpdate({reinterpret_cast<const unsigned char*>(block.data()), static_cast<unsigned>(count)});
    out.write(signature->signDataFinal());
}

EncryptCommand::EncryptCommand(CLI::App& app)
    : KeyDataCommand(app, "encrypt", "Encrypt data with the public key of a pair on the token (PKCS#1 v1.5)") {}

void EncryptCommand::transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const std::string& in,
                               OutputFile& out) {
    const ZEPKRYKey key = key_.publicKey(slot, diagnostics);
    const std::size_t size = modulusBytes(key);
    const std::size_t most = size > encryptionPadding ? size - encryptionPadding : 0;
    InputFile input(in);
    const ZEPBuffer data =
        readBoundedInput(input, most, "the most " + sizedKey(key) + " encrypts (PKCS#1 v1.5 pads with 11 bytes)");
    auto encryption = made(factoryOf(slot)->make_RSAPKCS_EncryptionAlgorithm(key), "RSA encryption");
    try {
        out.write(encryption->encryptData(data.get()));
    } catch (const ZEPException& failure) {
        throw std::runtime_error(refusal(slot, failure, data.getLength()));
    }
}

std::string EncryptCommand::refusal(ZEPSlotManager& slot, const ZEPException& failure,
                                    std::size_t inputLength) const {
    // The module's RSA encryption signs 36 bytes (an SSL signature of MD5
    // and SHA-1 digests) when the token signs with raw RSA: the refusal is
    // then the signature's, whatever the key allows for encryption.
    if (inputLength == sslSignatureLength && signsRawRSA(TokenMechanisms(cryptokiPath(), slot.getSlotId())))
        return "the module signs a 36-byte input with the key instead of encrypting it when the token signs with "
               "CKM_RSA_PKCS, and the token refused: " + failureText(failure);
    const auto* refused = dynamic_cast<const ZEPPKCS11Exception*>(&failure);
    if (refused && refused->getReturnValue() == CKR_KEY_FUNCTION_NOT_PERMITTED)
        return "the public key " + key_.named() + " is not allowed to encrypt (its CKA_ENCRYPT is false): " +
               failureText(failure);
    if (inputLength == 0) return "the token does not encrypt an empty input: " + failureText(failure);
    return "the token cannot encrypt with the public key " + key_.named() +
           " (a public key object allowing encryption is needed): " + failureText(failure);
}

DecryptCommand::DecryptCommand(CLI::App& app)
    : KeyDataCommand(app, "decrypt", "Decrypt data with a private key on the token (PKCS#1 v1.5)") {}

void DecryptCommand::transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const std::string& in,
                               OutputFile& out) {
    auto key = key_.privateKey(slot, diagnostics);
    key_.requireRSA(key->getKey(), "decrypt");
    // A ciphertext has exactly the modulus's length.
    const std::size_t size = modulusBytes(key->getKey());
    const std::string length = "the length of a ciphertext of " + sizedKey(key->getKey());
    InputFile input(in);
    const ZEPBuffer data = readBoundedInput(input, size, length);
    if (data.getLength() != size)
        throw std::runtime_error(input.name() + " holds " + std::to_string(data.getLength()) + " bytes, not " +
                                 std::to_string(size) + ", " + length);
    auto decryption = made(factoryOf(slot)->make_RSAPKCS_DecryptionAlgorithm(key->getKey(), nullptr), "RSA decryption");
    out.write(decryption->decryptData(data.get()));
}

RandomCommand::RandomCommand(CLI::App& app)
    : DatabaseCommand(app, "random", "Write random bytes from the token's generator") {
    options().add_option("COUNT", count_, "How many bytes")->required();
    options().add_flag("--hex", hex_, "Write lower-case hexadecimal and a new line");
}

void RandomCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics&) {
    auto generator = made(factoryOf(slot)->make_Default_RandomDataGenAlgorithm(nullptr), "random generator");
    OutputFile out("");
    for (std::uint64_t left = count_; left > 0;) {
        const auto block = static_cast<unsigned int>(std::min(left, randomBlock));
        const ZEPBuffer bytes = generator->generateRandomData(block);
        if (hex_)
            out.write(lowerHex(bytes));
        else
            out.write(bytes);
        left -= block;
    }
    if (hex_) out.write("\n");
    out.commit();
}
