// keydb speed: signatures of 100-byte messages for a few seconds, with the
// digest and padding that DigestChoice gives (SHA-256 and PKCS#1 v1.5 by
// default), through the module (signData, as keydb sign makes them) and
// through raw Cryptoki (C_SignInit + C_Sign with the same key and the
// mechanism the module chooses), on one or more threads; prints both rates and their ratio. Each thread signs in a
// session of its own: a slot manager of its own on the module side. The
// two sides take turns in short rounds, so that a change in the machine's
// load falls on both alike.
#ifndef KEYDB_SPEEDCOMMAND_H
#define KEYDB_SPEEDCOMMAND_H

#include "choice/digestchoice.h"
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
    DigestChoice digest_;
    double seconds_ = 3;
    unsigned int threads_ = 1;
    bool json_ = false;
};

#endif
