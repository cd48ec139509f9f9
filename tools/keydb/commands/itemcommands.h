// The commands that change or remove items already on the token: keydb
// rename, keydb delete and keydb pair. Each acts on the one item its
// --label and --id name (see KeyChoice), delete --all on each item of a
// label or of a subject.
#ifndef KEYDB_ITEMCOMMANDS_H
#define KEYDB_ITEMCOMMANDS_H

#include <string>

#include "choice/keychoice.h"
#include "commands/databasecommand.h"

// Relabels a key+certificate pair, a certificate, a pending request or a key
// (both its key objects) with a label no other item has.
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

// Deletes an item with all its objects (a pair its certificate and keys, a
// request both keys, a key both its objects), of the one kind --kind names
// if it is given, or another object the key database makes no item of.
// With --all, deletes every item of the label and kind; with --subject and
// --all, every pair, certificate and request of the subject. Prints each
// item deleted.
class DeleteCommand : public DatabaseCommand {
public:
    explicit DeleteCommand(CLI::App& app);

private:
    Output::Format format() const override { return Output::formatFor(json_); }
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    std::string subject_;
    bool all_ = false;
    KeyChoice item_;
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
