// The commands that change or remove items already on the token: keydb
// rename, keydb delete and keydb pair.
#ifndef KEYDB_ITEMCOMMANDS_H
#define KEYDB_ITEMCOMMANDS_H

#include <string>

#include "commands/databasecommand.h"
#include "choice/keychoice.h"

// Relabels the first item with the label (or the id): a key+certificate
// pair, else a certificate, else a pending request, else a key (each key
// object with the label).
class RenameCommand : public DatabaseCommand {
public:
    explicit RenameCommand(CLI::App& app);

private:
    Output::Format format() const override { return Output::formatFor(json_); }
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    KeyChoice item_;
    std::string to_;
    bool json_ = false;
};

// Deletes the first item with the label (or the id) in the same order, or
// of the one kind --kind names: a pair with all its objects, a request
// with both keys, a key with each key object of the label. With --subject
// and --all, deletes every pair, certificate and request of the subject.
class DeleteCommand : public DatabaseCommand {
public:
    explicit DeleteCommand(CLI::App& app);

private:
    Output::Format format() const override { return Output::formatFor(json_); }
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;
    void deleteSubject(ZEPSlotManager& slot);

    std::string subject_;
    bool all_ = false;
    KeyChoice item_;
    std::string kind_;
    bool json_ = false;
};

// Makes a private key and the certificate of the same CKA_ID and key, which
// another tool wrote without the subject on the key, into a pair under the
// certificate's label: the key, and its public key when there is one, get
// the certificate's subject and label.
class PairCommand : public DatabaseCommand {
public:
    explicit PairCommand(CLI::App& app);

private:
    Output::Format format() const override { return Output::formatFor(json_); }
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    KeyChoice key_;
    bool json_ = false;
};

#endif
