// The commands about key pairs the token generates and the requests made
// of them: keydb genkey, keydb request and keydb export-request.
#ifndef KEYDB_KEYPAIRCOMMANDS_H
#define KEYDB_KEYPAIRCOMMANDS_H

#include <string>

#include "commands/databasecommand.h"
#include "choice/digestchoice.h"
#include "choice/keychoice.h"
#include "choice/keysizechoice.h"

// Generates an RSA or EC key pair on the token through the module's key-pair
// maker, which labels both objects with their id in hexadecimal; --label
// relabels them after. Prints id, label and bits.
class GenKeyCommand : public DatabaseCommand {
public:
    explicit GenKeyCommand(CLI::App& app);

private:
    Output::Format format() const override { return Output::formatFor(json_); }
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    KeySizeChoice size_;
    std::string label_;
    bool json_ = false;
};

// Writes the PKCS#10 request of a pending request on the token (a key pair
// with a subject and no certificate), signed on the token with SHA-256 and
// PKCS#1 v1.5, or ECDSA for an EC key, unless the digest options say
// otherwise; PEM unless --der is given.
class ExportRequestCommand : public DatabaseCommand {
public:
    explicit ExportRequestCommand(CLI::App& app);

private:
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    KeyChoice key_;
    DigestChoice digest_;
    std::string out_;
    bool der_ = false;
};

// Generates an RSA or EC key pair on the token and stores it as a pending
// request for a certificate with the subject, then writes the request's
// PKCS#10, signed on the token as export-request signs it; PEM unless --der
// is given. With --out, prints id, label, subject and bits.
class RequestCommand : public DatabaseCommand {
public:
    explicit RequestCommand(CLI::App& app);

private:
    Output::Format format() const override { return Output::formatFor(json_); }
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    std::string subject_;
    KeySizeChoice size_;
    DigestChoice digest_;
    std::string label_;
    std::string out_;
    bool der_ = false;
    bool json_ = false;
};

#endif
