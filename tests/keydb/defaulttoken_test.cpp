// keydb with no --library: its own SoftHSM2 token in the data folder.
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "keydbtest.h"
#include "scopedenvironment.h"
#include "softhsmhome.h"

namespace {

class DefaultTokenTest : public KeydbTest {};

TEST_F(DefaultTokenTest, FirstUseCreatesTheTokenOnceWithWorkingPins) {
    ProgramResult first = keydb({"info"});
    ASSERT_EQ(first.status, 0) << first.err;
    std::string folder = defaultTokenFolder().string();
    EXPECT_NE(first.out.find("Created token \"keydb\" in " + folder + "\n"), std::string::npos) << first.out;
    std::smatch userPin, soPin;
    ASSERT_TRUE(std::regex_search(first.out, userPin, std::regex("\nUser PIN: (\\d{8})\n"))) << first.out;
    ASSERT_TRUE(std::regex_search(first.out, soPin, std::regex("\nSO PIN: (\\d{12})\n"))) << first.out;
    EXPECT_EQ(fields(first.out)["Library"], SoftHSMHome::libraryPath);

    struct stat status {};
    ASSERT_EQ(stat(folder.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    std::string conf = fileText(defaultTokenFolder() / "softhsm2.conf");
    EXPECT_NE(conf.find("directories.tokendir = " + folder + "/tokens\n"), std::string::npos) << conf;

    // The printed PINs are the token's: the SO PIN may set the user PIN (to
    // the same value), the user PIN may log in.
    ScopedEnvironment softhsm("SOFTHSM2_CONF", (defaultTokenFolder() / "softhsm2.conf").string());
    ProgramResult so = pkcs11Tool({"--token-label", "keydb", "--login", "--login-type", "so", "--so-pin",
                                   soPin[1].str(), "--init-pin", "--new-pin", userPin[1].str()});
    EXPECT_EQ(so.status, 0) << so.err;
    ProgramResult user = pkcs11Tool({"--token-label", "keydb", "--login", "--pin", userPin[1].str(), "-O"});
    EXPECT_EQ(user.status, 0) << user.err;

    ProgramResult second = keydb({"info"});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out.find("Created"), std::string::npos) << second.out;
    EXPECT_EQ(second.out.find("PIN"), std::string::npos) << second.out;
    EXPECT_EQ(fields(second.out)["Slots"], fields(first.out)["Slots"]);
}

TEST_F(DefaultTokenTest, JsonOutputStaysValidOnFirstUse) {
    ProgramResult first = keydb({"slots", "--json"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.err.find("Created token \"keydb\""), std::string::npos) << first.err;
    nlohmann::json slots = nlohmann::json::parse(first.out);
    ASSERT_FALSE(slots.empty());
    EXPECT_EQ(slots[0]["label"], "keydb");
}

TEST_F(DefaultTokenTest, OverridesAnInheritedSoftHSMConfiguration) {
    ProgramResult info = keydb({"info"}, {{"SOFTHSM2_CONF", "/nonexistent/softhsm2.conf"}});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(std::filesystem::exists(defaultTokenFolder() / "softhsm2.conf"));
}

}  // namespace
