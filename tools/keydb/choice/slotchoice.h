// Which slot a command works on: --slot ID, or --token LABEL for the slot
// whose token has that label, or else the first slot with an initialised
// token. SoftHSM2 renumbers its slots when a token is initialised and always
// adds a slot with an uninitialised token, so the label is the stable way to
// name a token.
#ifndef KEYDB_SLOTCHOICE_H
#define KEYDB_SLOTCHOICE_H

#include <functional>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "session/modulesession.h"

class SlotChoice {
public:
    // Adds --slot and --token to the command's options.
    explicit SlotChoice(CLI::App& command);

    // Throws std::runtime_error when no slot fits.
    CK_SLOT_ID choose(ModuleSession& session) const;

    // The first slot that `fits`, or none.
    static std::optional<CK_SLOT_ID> firstSlot(ModuleSession& session, const std::function<bool(const SlotInfo&)>& fits);

private:
    std::optional<CK_SLOT_ID> slot_;
    std::optional<std::string> token_;
};

#endif
