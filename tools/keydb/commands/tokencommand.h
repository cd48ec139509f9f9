// A command that works on one token: it connects to the library that
// --library or --uri names (else the default token), picks the slot as
// SlotChoice says and hands the command a slot manager for it.
#ifndef KEYDB_TOKENCOMMAND_H
#define KEYDB_TOKENCOMMAND_H

#include "commands/command.h"
#include "keystore/zepslotmanager.h"
#include "choice/librarychoice.h"
#include "session/modulesession.h"
#include "io/output.h"
#include "choice/slotchoice.h"

class TokenCommand : public Command {
public:
    void run() final;

protected:
    using Access = LibraryChoice::Access;

    // Session type 1 makes the slot manager open read-write sessions.
    TokenCommand(CLI::App& app, const std::string& name, const std::string& description, int sessionType,
                 Access access);

    // The form of the command's standard output.
    virtual Output::Format format() const { return Output::Format::text; }
    // Asks at the terminal for what the command needs before the default
    // token's lock is taken, so that no prompt holds it: an answer may take
    // as long as the user likes. `defaultToken` says whether the command
    // works on keydb's own token. Returns whether the command will log in:
    // SoftHSM2 writes each login to the token's file, so a command that
    // logs in has the default token alone.
    virtual bool askFirst(bool /*defaultToken*/) { return false; }
    virtual void runOn(ModuleSession& session, ZEPSlotManager& slot) = 0;

    // --uri, for the choices of the command that take a part of it.
    UriOption& uri() { return uri_; }
    // The Cryptoki library of this run, for direct calls beside the module.
    const std::string& cryptokiPath() const { return cryptokiPath_; }

private:
    UriOption uri_;
    LibraryChoice library_;
    SlotChoice slot_;
    int sessionType_;
    Access access_;
    std::string cryptokiPath_;
};

#endif
