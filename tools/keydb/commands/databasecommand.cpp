#include "commands/databasecommand.h"

#include <iostream>
#include <stdexcept>

#include "choice/pinstate.h"
#include "io/failuretext.h"

DatabaseCommand::DatabaseCommand(CLI::App& app, const std::string& name, const std::string& description,
                                 int sessionType, Access access)
    : TokenCommand(app, name, description, sessionType, access),
      pin_(options(), "--pin", "KEYDB_PIN", "User PIN", "User PIN, to see private objects", PinOption::Entry::once,
           &uri()),
      access_(access) {}

bool DatabaseCommand::askFirst(bool defaultToken) {
    std::optional<ZEPBuffer> pin = pin_.given();
    if (!pin && defaultToken && PinOption::canPrompt()) pin = pin_.ask();
    return pin.has_value();
}

void DatabaseCommand::runOn(ModuleSession& session, ZEPSlotManager& slot) {
    std::optional<ZEPBuffer> pin = pin_.given();
    if (!pin && PinOption::canPrompt() && slot.isLoginRequired()) pin = pin_.ask();
    if (pin) logIn(session, slot, *pin);
    if (access_ == Access::write) {
        const std::string& command = options().get_name();
        if (slot.isReadOnly()) throw std::runtime_error("the token is write protected: " + command + " cannot write");
        if (slot.isLoginRequired())
            throw std::runtime_error(command + " writes to the token, which needs the user's login: give the user "
                                               "PIN with --pin or KEYDB_PIN");
    }
    tokenUri_ = Pkcs11Uri::ofToken(session.diagnostics().slotInfo(session.manager(), slot.getSlotId()).token);
    read(slot, session.diagnostics());
}

void DatabaseCommand::logIn(ModuleSession& session, ZEPSlotManager& slot, const ZEPBuffer& pin) {
    auto state = [&] { return PinState(session.diagnostics().slotInfo(session.manager(), slot.getSlotId()).token.flags); };
    const PinState before = state();
    if (before.locked())
        throw std::runtime_error(before.words() + ": keydb tries no PIN; the security officer can set a new one with "
                                                  "keydb init-pin");
    if (!before.words().empty()) std::cerr << "keydb: warning: " << before.words() << std::endl;
    try {
        slot.login(pin);
    } catch (const ZEPException& failure) {
        const std::string after = state().words();
        if (after.empty()) throw;
        throw std::runtime_error(failureText(failure) + "; " + after);
    }
}
