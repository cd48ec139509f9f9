#include "pincommands.h"

#include <iostream>
#include <stdexcept>

namespace {

// The size of CK_TOKEN_INFO's label field.
constexpr std::size_t labelLimit = 32;

PinOption soPinOption(CLI::App& command) {
    return PinOption(command, "--so-pin", "KEYDB_SO_PIN", "SO PIN", "Security officer PIN");
}

PinOption userPinOption(CLI::App& command, const std::string& description) {
    return PinOption(command, "--pin", "KEYDB_PIN", "User PIN", description);
}

}  // namespace

InitTokenCommand::InitTokenCommand(CLI::App& app)
    : TokenCommand(app, "init-token", "Initialise a token (erasing its objects) with an SO PIN and a label", 1),
      soPin_(soPinOption(options())) {
    options().add_option("--label", label_, "The token's new label (up to 32 bytes)")->required()->type_name("TEXT");
}

void InitTokenCommand::runOn(ModuleSession&, ZEPSlotManager& slot) {
    if (label_.size() > labelLimit) throw std::runtime_error("a token label has at most 32 bytes");
    slot.initToken(soPin_.get(), ZEPString(label_));
    std::cout << "Initialised token \"" << label_ << "\"\n";
}

InitPinCommand::InitPinCommand(CLI::App& app)
    : TokenCommand(app, "init-pin", "Set a token's user PIN with its SO PIN", 1),
      soPin_(soPinOption(options())),
      pin_(userPinOption(options(), "The new user PIN")) {}

void InitPinCommand::runOn(ModuleSession&, ZEPSlotManager& slot) {
    slot.initPassword(soPin_.get(), pin_.get());
    std::cout << "User PIN set\n";
}

ChangePinCommand::ChangePinCommand(CLI::App& app)
    : TokenCommand(app, "change-pin", "Change a token's user PIN", 1),
      pin_(userPinOption(options(), "The current user PIN")),
      newPin_(options(), "--new-pin", "KEYDB_NEW_PIN", "New user PIN", "The new user PIN") {}

void ChangePinCommand::runOn(ModuleSession&, ZEPSlotManager& slot) {
    ZEPBuffer oldPin = pin_.get();
    slot.login(oldPin);
    slot.setPassword(oldPin, newPin_.get());
    std::cout << "User PIN changed\n";
}
