// The commands that use a key on the token through the module's algorithm
// factory: keydb sign, encrypt and decrypt read --in FILE (standard input
// when left out) and write --out FILE (standard output); keydb random
// writes the token's random bytes.
#ifndef KEYDB_CRYPTOCOMMANDS_H
#define KEYDB_CRYPTOCOMMANDS_H

#include <string>

#include "commands/databasecommand.h"
#include "choice/keychoice.h"

// Reads --in and writes --out; the key is named by --label or --id.
class KeyDataCommand : public DatabaseCommand {
protected:
    KeyDataCommand(CLI::App& app, const std::string& name, const std::string& description);

    // The result of the command's operation on `data`.
    virtual ZEPBuffer transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics,
                                const ZEPBuffer& data) = 0;

    KeyChoice key_;

private:
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) final;

    std::string in_ = "-";
    std::string out_;
};

// A PKCS#1 v1.5 signature with SHA-1 (default) or MD5.
class SignCommand : public KeyDataCommand {
public:
    explicit SignCommand(CLI::App& app);

private:
    ZEPBuffer transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const ZEPBuffer& data) override;

    bool sha1_ = false;
    bool md5_ = false;
};

// RSA PKCS#1 v1.5 encryption with the public key of the pair.
class EncryptCommand : public KeyDataCommand {
public:
    explicit EncryptCommand(CLI::App& app);

private:
    ZEPBuffer transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const ZEPBuffer& data) override;
};

// RSA PKCS#1 v1.5 decryption with the private key.
class DecryptCommand : public KeyDataCommand {
public:
    explicit DecryptCommand(CLI::App& app);

private:
    ZEPBuffer transform(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const ZEPBuffer& data) override;
};

// COUNT bytes from the token's random generator, raw or as hexadecimal.
class RandomCommand : public DatabaseCommand {
public:
    explicit RandomCommand(CLI::App& app);

private:
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    unsigned int count_ = 0;
    bool hex_ = false;
};

#endif
