// keydb mechanisms: the mechanisms of a token, one line each, as the
// module describes them.
#ifndef KEYDB_MECHANISMSCOMMAND_H
#define KEYDB_MECHANISMSCOMMAND_H

#include "commands/tokencommand.h"

class MechanismsCommand : public TokenCommand {
public:
    explicit MechanismsCommand(CLI::App& app);

private:
    void runOn(ModuleSession& session, ZEPSlotManager& slot) override;
};

#endif
