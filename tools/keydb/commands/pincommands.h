// The PIN commands: keydb init-token, init-pin and change-pin, each through
// the module's slot manager.
#ifndef KEYDB_PINCOMMANDS_H
#define KEYDB_PINCOMMANDS_H

#include <string>

#include "choice/pinoption.h"
#include "commands/tokencommand.h"

// (Re)initialises a token with an SO PIN and a label.
class InitTokenCommand : public TokenCommand {
public:
    explicit InitTokenCommand(CLI::App& app);

private:
    bool askFirst(bool defaultToken) override;
    void runOn(ModuleSession& session, ZEPSlotManager& slot) override;

    PinOption soPin_;
    std::string label_;
};

// Sets the user PIN with the SO PIN.
class InitPinCommand : public TokenCommand {
public:
    explicit InitPinCommand(CLI::App& app);

private:
    bool askFirst(bool defaultToken) override;
    void runOn(ModuleSession& session, ZEPSlotManager& slot) override;

    PinOption soPin_;
    PinOption pin_;
};

// Logs the user in and changes the user PIN.
class ChangePinCommand : public TokenCommand {
public:
    explicit ChangePinCommand(CLI::App& app);

private:
    bool askFirst(bool defaultToken) override;
    void runOn(ModuleSession& session, ZEPSlotManager& slot) override;

    PinOption pin_;
    PinOption newPin_;
};

#endif
