#include "slotchoice.h"

#include <stdexcept>

#include "output.h"

SlotChoice::SlotChoice(CLI::App& command) {
    auto* slot = command.add_option("--slot", slot_, "Slot id (as keydb slots shows it)")->type_name("ID");
    command.add_option("--token", token_, "Label of the token to use (trailing blanks ignored)")
        ->type_name("LABEL")
        ->excludes(slot);
}

CK_SLOT_ID SlotChoice::choose(ModuleSession& session) const {
    if (slot_) return *slot_;
    if (token_) {
        std::string wanted = withoutPadding(*token_);
        auto labelled = firstSlot(session, [&](const SlotInfo& info) {
            return info.tokenInitialised() && info.tokenLabel() == wanted;
        });
        if (!labelled) throw std::runtime_error("no token labelled \"" + wanted + "\"");
        return *labelled;
    }
    auto initialised = firstSlot(session, [](const SlotInfo& info) { return info.tokenInitialised(); });
    if (!initialised) throw std::runtime_error("no slot holds an initialised token; name one with --slot");
    return *initialised;
}

std::optional<CK_SLOT_ID> SlotChoice::firstSlot(ModuleSession& session,
                                                const std::function<bool(const SlotInfo&)>& fits) {
    for (const SlotInfo& info : session.slots())
        if (fits(info)) return info.id;
    return std::nullopt;
}
