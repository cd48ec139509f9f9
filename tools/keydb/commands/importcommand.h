// keydb import: a certificate, with its private key or without, into the
// key database of a token.
#ifndef KEYDB_IMPORTCOMMAND_H
#define KEYDB_IMPORTCOMMAND_H

#include <string>

#include "commands/databasecommand.h"

class CertificateFile;
class ZEPKeyCertReqItem;

// With --key, stores the key and the certificate as a pair (the key must
// be the certificate's). A certificate alone joins the pending request of
// its public key, which becomes a pair under the request's label;
// otherwise it is stored on its own. The label defaults to the subject's
// common name. A duplicate is refused with its reason and changes nothing.
class ImportCommand : public DatabaseCommand {
public:
    explicit ImportCommand(CLI::App& app);

private:
    Output::Format format() const override { return Output::formatFor(json_); }
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    // What was done, for the report.
    std::string importPair(ZEPSlotManager& slot, const CertificateFile& certificate, const std::string& label);
    std::string joinRequest(ZEPSlotManager& slot, const CertificateFile& certificate,
                            const ZEPKeyCertReqItem& request, const std::string& label);
    std::string importCertificate(ZEPSlotManager& slot, const CertificateFile& certificate, const std::string& label);

    std::string cert_;
    std::string key_;
    std::string label_;
    bool json_ = false;
};

#endif
