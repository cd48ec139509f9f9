// The SoftHSM2 test fixture: a private token that leaves nothing behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "programresult.h"
#include "scopedenvironment.h"
#include "softhsmtoken.h"

namespace {

TEST(SoftHSMTokenTest, OwnsItsTokenOnlyWhileItLives) {
    ScopedEnvironment outer("SOFTHSM2_CONF", "/nonexistent/outer.conf");
    std::string folder;
    {
        SoftHSMToken token("own label", "11112222", "3333");
        folder = token.folder();
        EXPECT_EQ(std::getenv("SOFTHSM2_CONF"), token.confPath());
        EXPECT_EQ(token.confPath().rfind(folder, 0), 0u);

        ProgramResult login = pkcs11Tool({"--token-label", "own label", "--login", "--pin", token.userPin(), "-O"});
        EXPECT_EQ(login.status, 0) << login.err;
        ProgramResult wrongPin = pkcs11Tool({"--token-label", "own label", "--login", "--pin", "9999", "-O"});
        EXPECT_NE(wrongPin.status, 0);
    }
    EXPECT_STREQ(std::getenv("SOFTHSM2_CONF"), "/nonexistent/outer.conf");
    EXPECT_FALSE(std::filesystem::exists(folder));
}

}  // namespace
