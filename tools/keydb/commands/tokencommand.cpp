#include "commands/tokencommand.h"

TokenCommand::TokenCommand(CLI::App& app, const std::string& name, const std::string& description, int sessionType,
                           Access access)
    : Command(app, name, description),
      uri_(options()),
      library_(options(), &uri_),
      slot_(options(), uri_),
      sessionType_(sessionType),
      access_(access) {}

void TokenCommand::run() {
    cryptokiPath_ = library_.prepare(format(), LibraryChoice::Need::token);
    const bool logsIn = askFirst(library_.isDefaultToken());
    // Taken after every prompt, and released after the session has closed.
    std::optional<HomeLock> lock = library_.lock(logsIn ? Access::write : access_);
    ModuleSession session(cryptokiPath_);
    session.run([&] {
        std::unique_ptr<ZEPSlotManager> slot = session.openSlot(slot_.choose(session), sessionType_);
        runOn(session, *slot);
    });
}
