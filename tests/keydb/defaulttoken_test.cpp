// keydb with no --library: its own SoftHSM2 token in the data folder.
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <functional>
#include <regex>
#include <thread>

#include "keydbtest.h"
#include "scopedenvironment.h"
#include "home/softhsmhome.h"

namespace {

class DefaultTokenTest : public KeydbTest {
protected:
    // The results of `count` keydb processes started at once.
    std::vector<ProgramResult> together(std::size_t count,
                                        const std::function<std::vector<std::string>(std::size_t)>& arguments) {
        std::vector<ProgramResult> results(count);
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < count; ++i) threads.emplace_back([&, i] { results[i] = keydb(arguments(i)); });
        for (std::thread& thread : threads) thread.join();
        return results;
    }

    std::size_t tokenCount() const {
        std::size_t count = 0;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(defaultTokenFolder() / "tokens", error))
            count += std::filesystem::exists(entry.path() / "token.object");
        return count;
    }

    // The printed PINs are the token's: the SO PIN may set the user PIN (to
    // the same value), the user PIN may log in.
    void expectWorkingPins(const std::string& notice) {
        std::smatch userPin, soPin;
        ASSERT_TRUE(std::regex_search(notice, userPin, std::regex("\nUser PIN: (\\d{8})\n"))) << notice;
        ASSERT_TRUE(std::regex_search(notice, soPin, std::regex("\nSO PIN: (\\d{12})\n"))) << notice;
        ScopedEnvironment softhsm("SOFTHSM2_CONF", (defaultTokenFolder() / "softhsm2.conf").string());
        ProgramResult so = pkcs11Tool({"--token-label", "keydb", "--login", "--login-type", "so", "--so-pin",
                                       soPin[1].str(), "--init-pin", "--new-pin", userPin[1].str()});
        EXPECT_EQ(so.status, 0) << so.err;
        ProgramResult user = pkcs11Tool({"--token-label", "keydb", "--login", "--pin", userPin[1].str(), "-O"});
        EXPECT_EQ(user.status, 0) << user.err;
    }
};

TEST_F(DefaultTokenTest, FirstUseCreatesTheTokenOnceWithWorkingPins) {
    ProgramResult first = keydb({"info"});
    ASSERT_EQ(first.status, 0) << first.err;
    std::string folder = defaultTokenFolder().string();
    EXPECT_NE(first.out.find("Created token \"keydb\" in " + folder + "\n"), std::string::npos) << first.out;
    EXPECT_EQ(fields(first.out)["Library"], SoftHSMHome::libraryPath);
    std::string conf = fileText(defaultTokenFolder() / "softhsm2.conf");
    EXPECT_NE(conf.find("directories.tokendir = " + folder + "/tokens\n"), std::string::npos) << conf;
    expectWorkingPins(first.out);

    ProgramResult second = keydb({"info"});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out.find("PIN"), std::string::npos) << second.out;
    EXPECT_EQ(fields(second.out)["Slots"], fields(first.out)["Slots"]);
}

TEST_F(DefaultTokenTest, ConcurrentFirstRunsCreateOneToken) {
    auto runs = together(5, [](std::size_t) { return std::vector<std::string>{"info"}; });
    std::string notice;
    for (const ProgramResult& run : runs) {
        EXPECT_EQ(run.status, 0) << run.err;
        if (run.out.find("Created token") != std::string::npos) {
            EXPECT_EQ(notice, "") << "a second token was created";
            notice = run.out;
        }
    }
    EXPECT_EQ(tokenCount(), 1u);
    expectWorkingPins(notice);
}

TEST_F(DefaultTokenTest, ConcurrentCommandsOnTheDefaultToken) {
    ProgramResult first = keydb({"info"});
    ASSERT_EQ(first.status, 0) << first.err;
    std::smatch soPin;
    ASSERT_TRUE(std::regex_search(first.out, soPin, std::regex("\nSO PIN: (\\d{12})\n")));
    const std::vector<std::string> setPin = {"init-pin", "--so-pin", soPin[1].str(), "--pin", "24682468"};
    ASSERT_EQ(keydb(setPin).status, 0);
    // Writers set the user PIN again while readers log in with it.
    auto runs = together(8, [&](std::size_t i) {
        return i % 2 ? setPin : std::vector<std::string>{"list", "--pin", "24682468"};
    });
    for (const ProgramResult& run : runs) EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(DefaultTokenTest, PinsThatCannotBeShownLeaveNoToken) {
    Subprocess full({KEYDB_PROGRAM, "info"});
    full.environment("XDG_DATA_HOME", dataHome_.path().string()).environment("KEYDB_MODULE", std::nullopt);
    TemporaryFolder errors("keydb-err");
    EXPECT_EQ(full.standardOutput("/dev/full").standardError(errors.path() / "err").run(), 1);
    std::string err = fileText(errors.path() / "err");
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_EQ(tokenCount(), 0u);

    ProgramResult next = keydb({"slots", "--json"});
    ASSERT_EQ(next.status, 0) << next.err;
    EXPECT_NE(next.err.find("Created token \"keydb\""), std::string::npos) << next.err;
    EXPECT_EQ(nlohmann::json::parse(next.out)[0]["label"], "keydb");
    expectWorkingPins(next.err);
}

TEST_F(DefaultTokenTest, HomeIsPrivateWhateverTheUmaskAndRefusedWhenOpen) {
    // A umask that would open what keydb writes, and one that would lock
    // out even its owner.
    for (mode_t mask : {0000, 0777}) {
        SCOPED_TRACE(mask);
        std::filesystem::remove_all(defaultTokenFolder());
        mode_t saved = umask(mask);
        ProgramResult first = keydb({"info"});
        umask(saved);
        ASSERT_EQ(first.status, 0) << first.err;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(defaultTokenFolder())) {
            struct stat status {};
            ASSERT_EQ(stat(entry.path().c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 0777, S_ISDIR(status.st_mode) ? 0700u : 0600u) << entry.path();
        }
    }
    chmod(defaultTokenFolder().c_str(), 0755);
    ProgramResult open = keydb({"info"});
    EXPECT_EQ(open.status, 1);
    EXPECT_NE(open.err.find("chmod 700 " + defaultTokenFolder().string()), std::string::npos) << open.err;
}

TEST_F(DefaultTokenTest, OverridesAnInheritedSoftHSMConfiguration) {
    ProgramResult info = keydb({"info"}, {{"SOFTHSM2_CONF", "/nonexistent/softhsm2.conf"}});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(std::filesystem::exists(defaultTokenFolder() / "softhsm2.conf"));
}

}  // namespace
