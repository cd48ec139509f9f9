#include "tokencommand.h"

TokenCommand::TokenCommand(CLI::App& app, const std::string& name, const std::string& description, int sessionType)
    : Command(app, name, description), library_(options()), slot_(options()), sessionType_(sessionType) {}

void TokenCommand::run() {
    ModuleSession session(library_.resolve(format()));
    std::unique_ptr<ZEPSlotManager> slot = session.openSlot(slot_.choose(session), sessionType_);
    runOn(session, *slot);
}
