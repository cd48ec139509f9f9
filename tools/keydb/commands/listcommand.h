// keydb list: the key database's keys, certificates, key+certificate pairs
// and certificate requests, walked with its iterators, and the token's
// objects the key database does not handle: other keys with the keys, other
// certificates with the certificates, the rest on their own.
#ifndef KEYDB_LISTCOMMAND_H
#define KEYDB_LISTCOMMAND_H

#include "commands/databasecommand.h"

class ListCommand : public DatabaseCommand {
public:
    explicit ListCommand(CLI::App& app);

private:
    Output::Format format() const override { return Output::formatFor(json_); }
    void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) override;

    bool keys_ = false;
    bool certs_ = false;
    bool pairs_ = false;
    bool requests_ = false;
    bool json_ = false;
};

#endif
