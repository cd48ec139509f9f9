#include "commands/tokencommand.h"

TokenCommand::TokenCommand(CLI::App& app, const std::string& name, const std::string& description, int sessionType,
                           Access access)
    : Command(app, name, description),
      library_(options()),
      slot_(options()),
      sessionType_(sessionType),
      access_(access) {}

void TokenCommand::run() {
    // The session closes before the library's lock is released.
    ChosenLibrary library = library_.resolve(format(), access_);
    ModuleSession session(library.path);
    session.run([&] {
        std::unique_ptr<ZEPSlotManager> slot = session.openSlot(slot_.choose(session), sessionType_);
        runOn(session, *slot);
    });
}
