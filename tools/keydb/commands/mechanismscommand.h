// keydb mechanisms: the mechanisms of a token, one line each, as the
// module describes them, by the names of PKCS#11 v2.01. Two values of v2.01
// were given to other mechanisms later, and a token of today that lists
// them means those: they are shown by their later names.
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
