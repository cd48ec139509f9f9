// keydb speed: SHA-1 signatures of 100-byte messages for a few seconds,
// through the module (signData, as keydb sign makes them) and through raw
// Cryptoki (C_SignInit + C_Sign with the same key), on one or more
// threads; prints both rates and their ratio. Each thread signs in a
// session of its own: a slot manager of its own on the module side. The
// two sides take turns in short rounds, so that a change in the machine's
// load falls on both alike.
#ifndef KEYDB_SPEEDCOMMAND_H
#define KEYDB_SPEEDCOMMAND_H

#include "choice/keychoice.h"
#include "choice/pinoption.h"
#include "commands/tokencommand.h"

class SpeedCommand : public TokenCommand {
public:
    explicit SpeedCommand(CLI::App& app);

private:
    Output::Format format() const override { return Output::formatFor(json_); }
    bool askFirst(bool) override {
        pin_.get();
        return true;
    }
    void runOn(ModuleSession& session, ZEPSlotManager& slot) override;

    PinOption pin_;
    KeyChoice key_;
    double seconds_ = 3;
    unsigned int threads_ = 1;
    bool json_ = false;
};

#endif
