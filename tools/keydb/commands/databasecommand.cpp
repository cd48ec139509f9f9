#include "commands/databasecommand.h"

namespace {
// The module's code for an unsupported key class, type or format.
constexpr long notSupported = 571004;
}  // namespace

DatabaseCommand::DatabaseCommand(CLI::App& app, const std::string& name, const std::string& description,
                                 int sessionType, Access access)
    : TokenCommand(app, name, description, sessionType, access),
      pin_(options(), "--pin", "KEYDB_PIN", "User PIN", "User PIN, to see private objects") {}

bool DatabaseCommand::isUnhandledObject(const ZEPException& failure) { return failure.getCode() == notSupported; }

bool DatabaseCommand::askFirst(bool defaultToken) {
    std::optional<ZEPBuffer> pin = pin_.given();
    if (!pin && defaultToken && PinOption::canPrompt()) pin = pin_.ask();
    return pin.has_value();
}

void DatabaseCommand::runOn(ModuleSession& session, ZEPSlotManager& slot) {
    std::optional<ZEPBuffer> pin = pin_.given();
    if (!pin && PinOption::canPrompt() && slot.isLoginRequired()) pin = pin_.ask();
    if (pin) slot.login(*pin);
    read(slot, session.diagnostics());
}
