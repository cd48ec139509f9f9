// keydb slots, mechanisms and the PIN commands on a fresh SoftHSM2 token,
// checked against what OpenSC's pkcs11-tool sees on the same token.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

#include "cryptoki.h"
#include "keydbtest.h"
#include "softhsmtoken.h"

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string trimmed(const std::string& text) {
    size_t begin = text.find_first_not_of(' ');
    return begin == std::string::npos ? "" : text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

// pkcs11-tool -L, per slot id: the "name : value" lines after its
// "Slot 0 (0x2b7c3ba1): description" line, and "description".
std::map<unsigned long, std::map<std::string, std::string>> toolSlots(const std::string& listing) {
    std::map<unsigned long, std::map<std::string, std::string>> slots;
    std::map<std::string, std::string>* slot = nullptr;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        if (line.rfind("Slot ", 0) == 0) {
            slot = &slots[std::stoul(line.substr(line.find("(0x") + 1), nullptr, 16)];
            (*slot)["description"] = trimmed(line.substr(colon + 1));
        } else if (slot && line.rfind("  ", 0) == 0) {
            (*slot)[trimmed(line.substr(0, colon))] = trimmed(line.substr(colon + 1));
        }
    }
    return slots;
}

class TokenCommandsTest : public KeydbTest {
protected:
    ProgramResult onToken(std::vector<std::string> arguments, const std::map<std::string, std::string>& environment = {}) {
        arguments.insert(arguments.end(), {"--library", token_.libraryPath()});
        return keydb(std::move(arguments), environment);
    }
    bool toolLogsIn(const std::string& label, const std::string& pin) {
        return pkcs11Tool({"--token-label", label, "--login", "--pin", pin, "-O"}).status == 0;
    }
    nlohmann::json slots() {
        ProgramResult listed = onToken({"slots", "--json"});
        EXPECT_EQ(listed.status, 0) << listed.err;
        return nlohmann::json::parse(listed.out);
    }

    SoftHSMToken token_;
};

TEST_F(TokenCommandsTest, SlotsAgreeWithPkcs11Tool) {
    ProgramResult tool = pkcs11Tool({"-L"});
    ASSERT_EQ(tool.status, 0) << tool.err;
    auto expected = toolSlots(tool.out);
    nlohmann::json listed = slots();
    ASSERT_EQ(listed.size(), expected.size()) << tool.out;
    for (const auto& slot : listed) {
        auto& fields = expected[slot["id"].get<unsigned long>()];
        EXPECT_EQ(slot["description"], fields["description"]);
        EXPECT_TRUE(slot["tokenPresent"].get<bool>());
        auto tokenFlags = slot["tokenFlags"].get<unsigned long>();
        if (!(tokenFlags & CKF_TOKEN_INITIALIZED)) {
            EXPECT_EQ(fields["token state"], "uninitialized");
            continue;
        }
        EXPECT_EQ(slot["label"], fields["token label"]);
        EXPECT_EQ(slot["serial"], fields["serial num"]);
        const std::string& flags = fields["token flags"];
        EXPECT_EQ((tokenFlags & CKF_LOGIN_REQUIRED) != 0, flags.find("login required") != std::string::npos);
        EXPECT_EQ((tokenFlags & CKF_USER_PIN_INITIALIZED) != 0, flags.find("PIN initialized") != std::string::npos);
        EXPECT_EQ((tokenFlags & CKF_RNG) != 0, flags.find("rng") != std::string::npos);
    }
    ProgramResult text = onToken({"slots"});
    EXPECT_NE(text.out.find("Token label: fixture\n"), std::string::npos) << text.out;
}

TEST_F(TokenCommandsTest, MechanismsAgreeWithPkcs11Tool) {
    ProgramResult tool = pkcs11Tool({"--token-label", token_.label(), "-M"});
    ASSERT_EQ(tool.status, 0) << tool.err;
    // "  SHA-1, digest": the name up to the first comma.
    std::set<std::string> toolNames;
    std::istringstream toolLines(tool.out);
    for (std::string line; std::getline(toolLines, line);)
        if (line.rfind("  ", 0) == 0) toolNames.insert(lowerCase(line.substr(2, line.find(',') - 2)));

    // With no slot named keydb takes the initialised token, not the free slot.
    ProgramResult ours = onToken({"mechanisms"});
    ASSERT_EQ(ours.status, 0) << ours.err;
    // " Mechanism: 0x00000006 flags=0x00002800  CKM_SHA1_RSA_PKCS"
    constexpr size_t nameColumn = 41;
    std::istringstream ourLines(ours.out);
    std::size_t lines = 0, named = 0;
    for (std::string line; std::getline(ourLines, line); ++lines) {
        ASSERT_EQ(line.rfind(" Mechanism: 0x", 0), 0u) << line;
        ASSERT_EQ(line.substr(22, 9), " flags=0x") << line;
        ASSERT_EQ(line.substr(nameColumn - 2, 2), "  ") << line;
        std::string name = line.substr(nameColumn);
        if (name == "Unknown") continue;
        ++named;
        std::string toolName = lowerCase(name.substr(4));
        std::replace(toolName.begin(), toolName.end(), '_', '-');
        EXPECT_TRUE(toolNames.contains(toolName)) << name;
    }
    EXPECT_EQ(lines, toolNames.size());
    EXPECT_GT(named, 5u);
    EXPECT_EQ(onToken({"mechanisms", "--token", token_.label() + "  "}).out, ours.out);
}

TEST_F(TokenCommandsTest, PinCommandsSetPinsPkcs11ToolAccepts) {
    ProgramResult changed = onToken({"change-pin", "--token", "fixture"},
                                    {{"KEYDB_PIN", token_.userPin()}, {"KEYDB_NEW_PIN", "24682468"}});
    ASSERT_EQ(changed.status, 0) << changed.err;
    EXPECT_TRUE(toolLogsIn("fixture", "24682468"));
    EXPECT_FALSE(toolLogsIn("fixture", token_.userPin()));

    ProgramResult reset = onToken({"init-pin", "--so-pin", token_.soPin(), "--pin", "13571357"});
    ASSERT_EQ(reset.status, 0) << reset.err;
    EXPECT_TRUE(toolLogsIn("fixture", "13571357"));
    // A new PIN read from standard input is read twice: two that differ,
    // or one alone, set nothing.
    for (const auto& [typed, refusal] : {std::pair{"24242424\n42424242\n", "the two lines differ"},
                                         std::pair{"24242424\n", "the second line is missing"}}) {
        ProgramResult mistyped =
            keydb({"init-pin", "--so-pin", token_.soPin(), "--library", token_.libraryPath()}, {}, typed);
        EXPECT_NE(mistyped.err.find(refusal), std::string::npos) << mistyped.err;
    }
    EXPECT_TRUE(toolLogsIn("fixture", "13571357"));

    // A new token in the free slot, found by its label afterwards.
    unsigned long freeSlot = 0;
    for (const auto& slot : slots())
        if (!(slot["tokenFlags"].get<unsigned long>() & CKF_TOKEN_INITIALIZED)) freeSlot = slot["id"];
    ProgramResult created = onToken({"init-token", "--slot", std::to_string(freeSlot), "--label", "second"},
                                    {{"KEYDB_SO_PIN", "11223344"}});
    ASSERT_EQ(created.status, 0) << created.err;
    ProgramResult secondPin = onToken({"init-pin", "--token", "second", "--so-pin", "11223344", "--pin", "5678"});
    ASSERT_EQ(secondPin.status, 0) << secondPin.err;
    EXPECT_TRUE(toolLogsIn("second", "5678"));
    EXPECT_TRUE(toolLogsIn("fixture", "13571357"));
}

TEST_F(TokenCommandsTest, PinWithoutOptionOrEnvironmentIsReadFromStandardInput) {
    // A line ended the Windows way counts without its carriage return.
    ProgramResult changed = keydb({"change-pin", "--library", token_.libraryPath(), "--new-pin", "99990000"}, {},
                                  token_.userPin() + "\r\n");
    ASSERT_EQ(changed.status, 0) << changed.err;
    EXPECT_TRUE(toolLogsIn("fixture", "99990000"));
    ProgramResult none = keydb({"change-pin", "--library", token_.libraryPath(), "--new-pin", "1111"}, {}, "");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("User PIN not given"), std::string::npos) << none.err;
}

TEST_F(TokenCommandsTest, FailuresNameTheCallAndReturnValueButNoPin) {
    ProgramResult wrong = onToken({"change-pin", "--pin", "31415926", "--new-pin", "27182818"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.err, "keydb: C_Login failed: CKR_PIN_INCORRECT (0xA0)\n");
    EXPECT_EQ(wrong.out, "");
    EXPECT_TRUE(toolLogsIn("fixture", token_.userPin()));

    ProgramResult wrongSo = onToken({"init-token", "--so-pin", "31415926", "--label", "x"});
    EXPECT_EQ(wrongSo.status, 1);
    EXPECT_NE(wrongSo.err.find("C_InitToken failed: CKR_PIN_INCORRECT"), std::string::npos) << wrongSo.err;
    EXPECT_EQ(wrongSo.err.find("31415926"), std::string::npos);

    ProgramResult unknown = onToken({"mechanisms", "--token", "nosuch"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "keydb: no token labelled \"nosuch\"\n");
    EXPECT_EQ(onToken({"mechanisms", "--token", "a", "--slot", "1"}).status, 2);
}

}  // namespace
