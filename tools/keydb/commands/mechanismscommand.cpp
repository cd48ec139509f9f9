#include "commands/mechanismscommand.h"

MechanismsCommand::MechanismsCommand(CLI::App& app)
    : TokenCommand(app, "mechanisms", "List a token's mechanisms with their flags", 0, Access::read) {}

void MechanismsCommand::runOn(ModuleSession& session, ZEPSlotManager& slot) {
    session.diagnostics().dumpMechanisms(slot);
}
