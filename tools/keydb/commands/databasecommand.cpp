#include "commands/databasecommand.h"

DatabaseCommand::DatabaseCommand(CLI::App& app, const std::string& name, const std::string& description,
                                 int sessionType, Access access)
    : TokenCommand(app, name, description, sessionType, access),
      pin_(options(), "--pin", "KEYDB_PIN", "User PIN", "User PIN, to see private objects") {}

void DatabaseCommand::runOn(ModuleSession& session, ZEPSlotManager& slot) {
    std::optional<ZEPBuffer> pin = pin_.given();
    if (!pin && PinOption::canPrompt() && slot.isLoginRequired()) pin = pin_.ask();
    if (pin) slot.login(*pin);
    read(slot, session.diagnostics());
}
