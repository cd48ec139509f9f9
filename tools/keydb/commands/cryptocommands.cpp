#include "commands/cryptocommands.h"

#include <iostream>
#include <memory>
#include <stdexcept>

#include "io/failuretext.h"
#include "io/inputfile.h"
#include "io/keyfacts.h"
#include "keystore/zepkeyitem.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrydecryptionalgorithm.h"
#include "kry/zepkryencryptionalgorithm.h"
#include "kry/zepkryrandomdatagenalgorithm.h"
#include "kry/zepkrysignaturealgorithm.h"
#include "io/outputfile.h"

namespace {

// Data to sign or encrypt is read whole; RSA data is far smaller.
constexpr std::size_t inputLimit = 64 * 1024 * 1024;

std::unique_ptr<ZEPKRYAlgorithmFactory> factoryOf(ZEPSlotManager& slot) {
    return std::unique_ptr<ZEPKRYAlgorithmFactory>(slot.getZEPKRYAlgorithmFactory());
}

// A maker's algorithm; a maker that answers null has no such algorithm.
template <typename Algorithm>
std::unique_ptr<Algorithm> made(Algorithm* algorithm, const std::string& what) {
    if (!algorithm) throw std::runtime_error("the module makes no " + what);
    return std::unique_ptr<Algorithm>(algorithm);
}

}  // namespace

KeyDataCommand::KeyDataCommand(CLI::App& app, const std::string& name, const std::string& description)
    : DatabaseCommand(app, name, description), key_(options()) {
    options().add_option("--in", in_, "File to read (default: standard input)")->type_name("FILE");
    options().add_option("--out", out_, "File to write (default: standard output)")->type_name("FILE");
}

void KeyDataCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    std::string input = readInputFile(in_, inputLimit);
    writeOutputFile(out_, transform(slot, diagnostics, ZEPBuffer(input.size(), input.data())));
}

SignCommand::SignCommand(CLI::App& app)
    : KeyDataCommand(app, "sign", "Sign data with a key on the token (PKCS#1 v1.5)") {
    auto* sha1 = options().add_flag("--sha1", sha1_, "Hash with SHA-1 (the default)");
    options().add_flag("--md5", md5_, "Hash with MD5")->excludes(sha1);
}

ZEPBuffer SignCommand::transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const ZEPBuffer& data) {
    auto key = key_.privateKey(slot, diagnostics);
    auto factory = factoryOf(slot);
    auto signature = md5_ ? made(factory->make_MD5WithRSA_SignatureAlgorithm(key->getKey()), "MD5 signature")
                          : made(factory->make_SHA1WithRSA_SignatureAlgorithm(key->getKey()), "SHA-1 signature");
    return signature->signData(data.get());
}

EncryptCommand::EncryptCommand(CLI::App& app)
    : KeyDataCommand(app, "encrypt", "Encrypt data with the public key of a pair on the token (PKCS#1 v1.5)") {}

ZEPBuffer EncryptCommand::transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics,
                                    const ZEPBuffer& data) {
    auto encryption =
        made(factoryOf(slot)->make_RSAPKCS_EncryptionAlgorithm(key_.publicKey(slot, diagnostics)), "RSA encryption");
    try {
        return encryption->encryptData(data.get());
    } catch (const ZEPPKCS11Exception& failure) {
        if (failure.getReturnValue() != CKR_KEY_FUNCTION_NOT_PERMITTED) throw;
        throw std::runtime_error("the public key " + key_.named() + " is not allowed to encrypt (its CKA_ENCRYPT is " +
                                 "false): " + failureText(failure));
    }
}

DecryptCommand::DecryptCommand(CLI::App& app)
    : KeyDataCommand(app, "decrypt", "Decrypt data with a private key on the token (PKCS#1 v1.5)") {}

ZEPBuffer DecryptCommand::transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics,
                                    const ZEPBuffer& data) {
    auto key = key_.privateKey(slot, diagnostics);
    auto decryption = made(factoryOf(slot)->make_RSAPKCS_DecryptionAlgorithm(key->getKey(), nullptr), "RSA decryption");
    return decryption->decryptData(data.get());
}

RandomCommand::RandomCommand(CLI::App& app)
    : DatabaseCommand(app, "random", "Write random bytes from the token's generator") {
    options().add_option("COUNT", count_, "How many bytes")->required();
    options().add_flag("--hex", hex_, "Write lower-case hexadecimal and a new line");
}

void RandomCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics&) {
    auto generator = made(factoryOf(slot)->make_Default_RandomDataGenAlgorithm(nullptr), "random generator");
    ZEPBuffer bytes = generator->generateRandomData(count_);
    if (hex_)
        writeOutputFile("", lowerHex(bytes) + "\n");
    else
        writeOutputFile("", bytes);
}
