#include "databasecommand.h"

DatabaseCommand::DatabaseCommand(CLI::App& app, const std::string& name, const std::string& description)
    : TokenCommand(app, name, description, 0),
      pin_(options(), "--pin", "KEYDB_PIN", "User PIN", "User PIN, to see private objects") {}

void DatabaseCommand::runOn(ModuleSession&, ZEPSlotManager& slot) {
    if (auto pin = pin_.given())
        slot.login(*pin);
    else if (PinOption::canPrompt() && slot.isLoginRequired())
        slot.login(pin_.get());
    read(slot);
}
