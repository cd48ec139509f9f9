// The commands that show one item: keydb show and keydb export-cert. Each
// takes the one item its --label and --id name (see KeyChoice).
#ifndef KEYDB_LOOKUPCOMMANDS_H
#define KEYDB_LOOKUPCOMMANDS_H

#include <string>

#include "choice/keychoice.h"
#include "commands/databasecommand.h"

// Shows a key+certificate pair, a certificate, a pending request, a key or
// an object the key database makes no item of.
class ShowCommand : public DatabaseCommand {
public:
    explicit ShowCommand(CLI::App& app);

private:
    Output::Format format() const override { return Output::formatFor(json_); }
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    KeyChoice item_;
    bool json_ = false;
};

// Writes the certificate of a pair or a certificate on its own, PEM unless
// --der is given, to a file or standard output.
class ExportCertCommand : public DatabaseCommand {
public:
    explicit ExportCertCommand(CLI::App& app);

private:
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    KeyChoice item_;
    std::string out_;
    bool der_ = false;
};

#endif
