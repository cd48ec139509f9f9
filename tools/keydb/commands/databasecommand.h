// A command that reads the key database of one token. It logs the user in
// first when a PIN is at hand (--pin or $KEYDB_PIN), or asks for one when
// the token requires login and standard input is a terminal (an empty
// answer logs nobody in); otherwise it sees the public objects only. It
// tries no PIN while the token says the user PIN is locked, and warns while
// it says wrong PINs were counted. A command that writes is refused on a
// write-protected token, and without the login the token requires. The
// default token always requires login: there it asks before taking the
// token's lock.
#ifndef KEYDB_DATABASECOMMAND_H
#define KEYDB_DATABASECOMMAND_H

#include "choice/pinoption.h"
#include "commands/tokencommand.h"
#include "zepexception.h"

class DatabaseCommand : public TokenCommand {
protected:
    // Commands that write to the token pass session type 1 and Access::write.
    DatabaseCommand(CLI::App& app, const std::string& name, const std::string& description, int sessionType = 0,
                    Access access = Access::read);

    virtual void read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) = 0;

private:
    bool askFirst(bool defaultToken) final;
    void runOn(ModuleSession& session, ZEPSlotManager& slot) final;
    void logIn(ModuleSession& session, ZEPSlotManager& slot, const ZEPBuffer& pin);

    PinOption pin_;
    Access access_;
};

#endif
