// keydb info: what a Cryptoki library says about itself, its slots and the
// pkcs11: URI of each token present.
#ifndef KEYDB_INFOCOMMAND_H
#define KEYDB_INFOCOMMAND_H

#include "commands/command.h"
#include "choice/librarychoice.h"

class InfoCommand : public Command {
public:
    explicit InfoCommand(CLI::App& app);
    void run() override;

private:
    LibraryChoice library_;
    bool json_ = false;
};

#endif
