// The commands that use a key on the token through the module's algorithm
// factory: keydb sign, encrypt and decrypt read --in FILE (standard input
// when left out) and write --out FILE (standard output); keydb random
// writes the token's random bytes.
#ifndef KEYDB_CRYPTOCOMMANDS_H
#define KEYDB_CRYPTOCOMMANDS_H

#include <cstdint>
#include <string>

#include "commands/databasecommand.h"
#include "choice/keychoice.h"
#include "io/outputfile.h"
#include "zepexception.h"

// Reads --in and writes --out; the key is named by --label or --id.
class KeyDataCommand : public DatabaseCommand {
protected:
    KeyDataCommand(CLI::App& app, const std::string& name, const std::string& description);

    // Writes the result of the command's operation on the input `in` (a
    // path, "-" for standard input) to `out`.
    virtual void transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const std::string& in,
                           OutputFile& out) = 0;

    KeyChoice key_;

private:
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) final;

    std::string in_ = "-";
    std::string out_;
};

// A PKCS#1 v1.5 signature with SHA-1 (default) or MD5. The input is signed
// in parts as it is read, in memory of one block, when the token hashes
// and signs in one mechanism; otherwise the module hashes only what it
// signs at once, and the input is read whole up to a limit.
class SignCommand : public KeyDataCommand {
public:
    explicit SignCommand(CLI::App& app);

private:
    void transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const std::string& in,
                   OutputFile& out) override;

    bool sha1_ = false;
    bool md5_ = false;
};

// RSA PKCS#1 v1.5 encryption with the public key of the pair, of at most
// the key's size in bytes less 11.
class EncryptCommand : public KeyDataCommand {
public:
    explicit EncryptCommand(CLI::App& app);

private:
    void transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const std::string& in,
                   OutputFile& out) override;
    // Why the token refused to encrypt an input of `inputLength` bytes.
    std::string refusal(ZEPSlotManager& slot, const ZEPException& failure, std::size_t inputLength) const;
};

// RSA PKCS#1 v1.5 decryption with the private key, of at most the key's
// size in bytes.
class DecryptCommand : public KeyDataCommand {
public:
    explicit DecryptCommand(CLI::App& app);

private:
    void transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const std::string& in,
                   OutputFile& out) override;
};

// COUNT bytes from the token's random generator, raw or as hexadecimal,
// asked for and written in blocks.
class RandomCommand : public DatabaseCommand {
public:
    explicit RandomCommand(CLI::App& app);

private:
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    std::uint64_t count_ = 0;
    bool hex_ = false;
};

#endif
