// Which slot a command works on: --slot ID, or --token LABEL for the slot
// whose token has that label, or the one slot whose initialised token the
// token attributes of --uri fit, or else the first slot with an initialised
// token. SoftHSM2 renumbers its slots when a token is initialised and always
// adds a slot with an uninitialised token, so the label is the stable way to
// name a token.
#ifndef KEYDB_SLOTCHOICE_H
#define KEYDB_SLOTCHOICE_H

#include <functional>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "choice/urioption.h"
#include "session/modulesession.h"

class SlotChoice {
public:
    // Adds --slot and --token to the command's options; the token
    // attributes of `uri` stand in for them.
    SlotChoice(CLI::App& command, UriOption& uri);

    // Throws std::runtime_error when no slot fits, or several fit the URI.
    CK_SLOT_ID choose(ModuleSession& session) const;

    // The first slot that `fits`, or none.
    static std::optional<CK_SLOT_ID> firstSlot(ModuleSession& session, const std::function<bool(const SlotInfo&)>& fits);

private:
    // The one slot with an initialised token that `wanted` fits.
    static CK_SLOT_ID fitting(const Pkcs11Uri& wanted, const std::vector<SlotInfo>& slots);

    const UriOption& uri_;
    std::optional<CK_SLOT_ID> slot_;
    std::optional<std::string> token_;
};

#endif
