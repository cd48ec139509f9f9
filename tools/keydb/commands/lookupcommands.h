// The commands that find one item by its label through the key database's
// unique lookups: keydb show and keydb export-cert.
#ifndef KEYDB_LOOKUPCOMMANDS_H
#define KEYDB_LOOKUPCOMMANDS_H

#include <string>

#include "commands/databasecommand.h"

// Shows the first item with the label: a key+certificate pair, else a
// certificate, else a key, else a certificate request, else an object the
// key database does not handle.
class ShowCommand : public DatabaseCommand {
public:
    explicit ShowCommand(CLI::App& app);

private:
    Output::Format format() const override { return Output::formatFor(json_); }
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    std::string label_;
    bool json_ = false;
};

// Writes the certificate with the label (of a pair, else a certificate on
// its own), PEM unless --der is given, to a file or standard output.
class ExportCertCommand : public DatabaseCommand {
public:
    explicit ExportCertCommand(CLI::App& app);

private:
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    std::string label_;
    std::string out_;
    bool der_ = false;
};

#endif
