// keydb cert-info: what a certificate file holds, and the object id the key
// database gives it. Needs no token and no module.
#ifndef KEYDB_CERTINFOCOMMAND_H
#define KEYDB_CERTINFOCOMMAND_H

#include <string>

#include "commands/command.h"

class CertInfoCommand : public Command {
public:
    explicit CertInfoCommand(CLI::App& app);
    void run() override;

private:
    std::string file_;
    bool json_ = false;
};

#endif
