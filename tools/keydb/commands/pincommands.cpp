#include "commands/pincommands.h"

#include <iostream>
#include <stdexcept>

#include "io/displaytext.h"

namespace {

// The size of CK_TOKEN_INFO's label field.
constexpr std::size_t labelLimit = 32;

PinOption soPinOption(CLI::App& command) {
    return PinOption(command, "--so-pin", "KEYDB_SO_PIN", "SO PIN", "Security officer PIN");
}

PinOption userPinOption(CLI::App& command, const std::string& description,
                        PinOption::Entry entry = PinOption::Entry::once) {
    return PinOption(command, "--pin", "KEYDB_PIN", "User PIN", description, entry);
}

}  // namespace

InitTokenCommand::InitTokenCommand(CLI::App& app)
    : TokenCommand(app, "init-token", "Initialise a token (erasing its objects) with an SO PIN and a label", 1,
                   Access::write),
      soPin_(soPinOption(options())) {
    options()
        .add_option("--label", label_, "The token's new label (1 to 32 bytes)")
        ->required()
        ->type_name("TEXT")
        ->check(CLI::Validator(
            [](const std::string& label) {
                return label.empty() || label.size() > labelLimit ? "a token label has 1 to 32 bytes" : "";
            },
            "", "token label"));
}

bool InitTokenCommand::askFirst(bool) {
    soPin_.get();
    return true;
}

void InitTokenCommand::runOn(ModuleSession&, ZEPSlotManager& slot) {
    slot.initToken(soPin_.get(), ZEPString(label_));
    std::cout << "Initialised token \"" << terminalText(label_) << "\"\n";
}

InitPinCommand::InitPinCommand(CLI::App& app)
    : TokenCommand(app, "init-pin", "Set a token's user PIN with its SO PIN", 1, Access::write),
      soPin_(soPinOption(options())),
      pin_(userPinOption(options(), "The new user PIN", PinOption::Entry::twice)) {}

bool InitPinCommand::askFirst(bool) {
    soPin_.get();
    pin_.get();
    return true;
}

void InitPinCommand::runOn(ModuleSession&, ZEPSlotManager& slot) {
    slot.initPassword(soPin_.get(), pin_.get());
    std::cout << "User PIN set\n";
}

ChangePinCommand::ChangePinCommand(CLI::App& app)
    : TokenCommand(app, "change-pin", "Change a token's user PIN", 1, Access::write),
      pin_(userPinOption(options(), "The current user PIN")),
      newPin_(options(), "--new-pin", "KEYDB_NEW_PIN", "New user PIN", "The new user PIN", PinOption::Entry::twice) {}

bool ChangePinCommand::askFirst(bool) {
    pin_.get();
    newPin_.get();
    return true;
}

void ChangePinCommand::runOn(ModuleSession&, ZEPSlotManager& slot) {
    ZEPBuffer oldPin = pin_.get();
    slot.login(oldPin);
    slot.setPassword(oldPin, newPin_.get());
    std::cout << "User PIN changed\n";
}
