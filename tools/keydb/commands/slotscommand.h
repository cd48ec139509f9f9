// keydb slots: every slot of the library with its token.
#ifndef KEYDB_SLOTSCOMMAND_H
#define KEYDB_SLOTSCOMMAND_H

#include "commands/command.h"
#include "choice/librarychoice.h"

class SlotsCommand : public Command {
public:
    explicit SlotsCommand(CLI::App& app);
    void run() override;

private:
    LibraryChoice library_;
    bool json_ = false;
};

#endif
