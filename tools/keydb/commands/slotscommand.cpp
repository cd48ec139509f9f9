#include "commands/slotscommand.h"

#include <cstdio>
#include <iostream>
#include <utility>

#include "session/modulesession.h"
#include "io/output.h"

namespace {

using FlagNames = std::initializer_list<std::pair<CK_FLAGS, const char*>>;

constexpr FlagNames slotFlags = {
    {CKF_TOKEN_PRESENT, "CKF_TOKEN_PRESENT"},
    {CKF_REMOVABLE_DEVICE, "CKF_REMOVABLE_DEVICE"},
    {CKF_HW_SLOT, "CKF_HW_SLOT"},
};

// The PIN state flags are given by value: the toolkit's header has no names
// for them.
constexpr FlagNames tokenFlags = {
    {CKF_RNG, "CKF_RNG"},
    {CKF_WRITE_PROTECTED, "CKF_WRITE_PROTECTED"},
    {CKF_LOGIN_REQUIRED, "CKF_LOGIN_REQUIRED"},
    {CKF_USER_PIN_INITIALIZED, "CKF_USER_PIN_INITIALIZED"},
    {CKF_RESTORE_KEY_NOT_NEEDED, "CKF_RESTORE_KEY_NOT_NEEDED"},
    {CKF_CLOCK_ON_TOKEN, "CKF_CLOCK_ON_TOKEN"},
    {CKF_PROTECTED_AUTHENTICATION_PATH, "CKF_PROTECTED_AUTHENTICATION_PATH"},
    {CKF_DUAL_CRYPTO_OPERATIONS, "CKF_DUAL_CRYPTO_OPERATIONS"},
    {CKF_TOKEN_INITIALIZED, "CKF_TOKEN_INITIALIZED"},
    {0x00000800UL, "CKF_SECONDARY_AUTHENTICATION"},
    {0x00010000UL, "CKF_USER_PIN_COUNT_LOW"},
    {0x00020000UL, "CKF_USER_PIN_FINAL_TRY"},
    {0x00040000UL, "CKF_USER_PIN_LOCKED"},
    {0x00080000UL, "CKF_USER_PIN_TO_BE_CHANGED"},
    {0x00100000UL, "CKF_SO_PIN_COUNT_LOW"},
    {0x00200000UL, "CKF_SO_PIN_FINAL_TRY"},
    {0x00400000UL, "CKF_SO_PIN_LOCKED"},
    {0x00800000UL, "CKF_SO_PIN_TO_BE_CHANGED"},
};

// "0x0000040d CKF_RNG CKF_LOGIN_REQUIRED ...": the value, then the names of
// the flags set.
std::string flagText(CK_FLAGS flags, FlagNames names) {
    char value[16];
    std::snprintf(value, sizeof value, "0x%08lx", static_cast<unsigned long>(flags));
    std::string text = value;
    for (const auto& [flag, name] : names)
        if (flags & flag) text += std::string(" ") + name;
    return text;
}

}  // namespace

SlotsCommand::SlotsCommand(CLI::App& app)
    : Command(app, "slots", "List the slots with their tokens: label, serial number and flags"), library_(options()) {
    options().add_flag("--json", json_, "Print one JSON array");
}

void SlotsCommand::run() {
    Output output(Output::formatFor(json_), Output::Shape::list);
    ChosenLibrary library =
        library_.resolve(output.format(), LibraryChoice::Access::read, LibraryChoice::Need::library);
    ModuleSession session(library.path);
    std::vector<SlotInfo> slots;
    session.run([&] { slots = session.slots(); });
    for (const SlotInfo& info : slots) {
        output.record();
        output.field("Slot", "id", static_cast<unsigned long>(info.id));
        output.field("Description", "description", info.description());
        output.field("Token present", "tokenPresent", info.tokenPresent());
        output.field("Slot flags", "slotFlags", flagText(info.slot.flags, slotFlags), info.slot.flags);
        if (!info.tokenPresent()) continue;
        output.field("Token label", "label", info.tokenLabel());
        output.field("Serial number", "serial", info.serialNumber());
        output.field("Token flags", "tokenFlags", flagText(info.token.flags, tokenFlags), info.token.flags);
    }
    output.print(std::cout);
}
