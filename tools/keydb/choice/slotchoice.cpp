#include "choice/slotchoice.h"

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "io/output.h"

namespace {

// A slot id is a CK_SLOT_ID in decimal: no sign, no blanks, not empty.
std::string slotIdProblem(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return "a slot id is a number from 0 up, as keydb slots shows it";
    errno = 0;
    std::strtoul(text.c_str(), nullptr, 10);
    return errno == ERANGE ? "the slot id " + text + " is too large" : "";
}

// Whether each token and slot attribute that `wanted` has is the slot's.
bool fits(const Pkcs11Uri& wanted, const SlotInfo& info) {
    const Pkcs11Uri has = Pkcs11Uri::ofToken(info.token);
    const auto same = [](const auto& want, const auto& value) { return !want || *want == value; };
    return same(wanted.token, has.token) && same(wanted.manufacturer, has.manufacturer) &&
           same(wanted.serial, has.serial) && same(wanted.model, has.model) && same(wanted.slotId, info.id) &&
           same(wanted.slotDescription, info.description()) &&
           same(wanted.slotManufacturer, withoutPadding(std::string_view(
                                             reinterpret_cast<const char*>(info.slot.manufacturerID),
                                             sizeof info.slot.manufacturerID)));
}

}  // namespace

SlotChoice::SlotChoice(CLI::App& command, UriOption& uri) : uri_(uri) {
    auto* slot = command.add_option("--slot", slot_, "Slot id (as keydb slots shows it); not with --token")
                     ->type_name("ID")
                     ->check(CLI::Validator(slotIdProblem, "", "slot id"));
    auto* token = command.add_option("--token", token_, "Label of the token to use (trailing blanks ignored)")
                      ->type_name("LABEL")
                      ->excludes(slot);
    uri.takes(UriOption::Part::token, {slot, token});
}

CK_SLOT_ID SlotChoice::fitting(const Pkcs11Uri& wanted, const std::vector<SlotInfo>& slots) {
    // Initialised tokens first; an uninitialised one is chosen only when no
    // initialised token fits, so that init-token can be given a URI.
    std::vector<const SlotInfo*> found;
    for (const bool initialised : {true, false}) {
        for (const SlotInfo& info : slots)
            if (info.tokenPresent() && info.tokenInitialised() == initialised && fits(wanted, info))
                found.push_back(&info);
        if (!found.empty()) break;
    }
    if (found.size() == 1) return found.front()->id;
    if (found.empty()) throw std::runtime_error("no token fits the URI");
    std::string candidates;
    for (const SlotInfo* info : found)
        candidates += (candidates.empty() ? "" : ", ") + std::string("slot ") + std::to_string(info->id) + " (" +
                      Pkcs11Uri::ofToken(info->token).format() + ")";
    throw std::runtime_error(std::to_string(found.size()) + " tokens fit the URI: " + candidates +
                             "; name one with its serial or slot-id");
}

CK_SLOT_ID SlotChoice::choose(ModuleSession& session) const {
    if (slot_) return *slot_;
    std::vector<SlotInfo> slots = session.slots();
    if (uri_.names(UriOption::Part::token)) return fitting(*uri_.uri(), slots);
    if (token_) {
        std::string wanted = withoutPadding(*token_);
        for (const SlotInfo& info : slots)
            if (info.tokenInitialised() && info.tokenLabel() == wanted) return info.id;
        throw std::runtime_error("no token labelled \"" + wanted + "\"");
    }
    for (const SlotInfo& info : slots)
        if (info.tokenInitialised()) return info.id;
    // Say what the library reported, so that an empty answer is not taken
    // for a mistake of the user's.
    std::size_t present = 0;
    for (const SlotInfo& info : slots) present += info.tokenPresent();
    if (slots.empty()) throw std::runtime_error("the Cryptoki library reports no slots");
    if (present == 0) throw std::runtime_error("no slot of the Cryptoki library holds a token");
    throw std::runtime_error(
        "no token of the Cryptoki library is initialised; initialise one with keydb init-token --slot ID");
}

std::optional<CK_SLOT_ID> SlotChoice::firstSlot(ModuleSession& session,
                                                const std::function<bool(const SlotInfo&)>& fits) {
    for (const SlotInfo& info : session.slots())
        if (fits(info)) return info.id;
    return std::nullopt;
}
