// keydb with no --library: its own SoftHSM2 token in the data folder.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <chrono>
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

    // The PINs are the token's: the SO PIN may set the user PIN (to the
    // same value), the user PIN may log in.
    void expectWorkingPins(const std::string& userPin, const std::string& soPin) {
        ScopedEnvironment softhsm("SOFTHSM2_CONF", (defaultTokenFolder() / "softhsm2.conf").string());
        ProgramResult so = pkcs11Tool({"--token-label", "keydb", "--login", "--login-type", "so", "--so-pin", soPin,
                                       "--init-pin", "--new-pin", userPin});
        EXPECT_EQ(so.status, 0) << so.err;
        ProgramResult user = pkcs11Tool({"--token-label", "keydb", "--login", "--pin", userPin, "-O"});
        EXPECT_EQ(user.status, 0) << user.err;
    }
    // The same for the PINs a first run's notice shows.
    void expectWorkingPins(const std::string& notice) {
        std::smatch userPin, soPin;
        ASSERT_TRUE(std::regex_search(notice, userPin, std::regex("\nUser PIN: (\\d{8})\n"))) << notice;
        ASSERT_TRUE(std::regex_search(notice, soPin, std::regex("\nSO PIN: (\\d{12})\n"))) << notice;
        expectWorkingPins(userPin[1].str(), soPin[1].str());
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

TEST_F(DefaultTokenTest, FirstRunKeepsATokenOnlyWhenItsPinsReachAPerson) {
    const std::string userPin = "13572468", soPin = "975318642024";
    const std::map<std::string, std::string> chosen = {{"KEYDB_PIN", userPin}, {"KEYDB_SO_PIN", soPin}};
    const struct {
        // Run by sh with "$0" the keydb program.
        std::string script;
        std::map<std::string, std::string> environment;
        bool kept;
        std::vector<std::string> naming;
    } runs[] = {
        // Standard output a pipe, standard error a file: the notice goes there.
        {R"({ "$0" list </dev/null; echo "exit $?"; } | cat)", {}, true, {"Created token", "exit 0"}},
        // Both pipes: new PINs would reach nobody.
        {R"({ "$0" list </dev/null; echo "exit $?"; } 2>&1 | cat)", {}, false, {"would reach nobody", "exit 1"}},
        // JSON on standard output, a file: the notice has only a pipe.
        {R"(f=$(mktemp); { "$0" list --json >"$f"; echo "exit $?"; } 2>&1 | cat; rm -f "$f")", {}, false,
         {"standard output carries JSON, and standard error is no terminal", "exit 1"}},
        // scripts/run's keydb info, run with no terminal, shows the library.
        {R"({ "$0" info; echo "exit $?"; } 2>&1 | cat)", {}, false, {"would reach nobody", "Library: ", "exit 0"}},
        // PINs the environment chooses are known without the notice.
        {R"({ "$0" list; echo "exit $?"; } 2>&1 | cat)", chosen, true, {"User PIN: the one KEYDB_PIN gives", "exit 0"}},
        // A notice that cannot be written takes its token with it.
        {R"("$0" info 1<"$0"; echo "exit $?" >&2)", {}, false, {"cannot write the new token's PINs", "exit 1"}},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.script);
        std::filesystem::remove_all(defaultTokenFolder());
        Subprocess shell = program({"sh", "-c", run.script, KEYDB_PROGRAM}, run.environment);
        ProgramResult result = capture(shell);
        const std::string text = result.out + result.err;
        for (const std::string& naming : run.naming) EXPECT_NE(text.find(naming), std::string::npos) << text;
        ASSERT_EQ(tokenCount(), run.kept ? 1u : 0u) << text;
        if (!run.kept) continue;
        if (run.environment.empty())
            expectWorkingPins(text);
        else
            expectWorkingPins(userPin, soPin);
    }
}

TEST_F(DefaultTokenTest, AKeydbWaitingForTheLockSaysSo) {
    ASSERT_EQ(keydb({"info"}).status, 0);
    const std::filesystem::path lockFile = defaultTokenFolder() / "lock";
    const int holder = open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    TemporaryFolder output("keydb-output");
    Subprocess waiting = program({KEYDB_PROGRAM, "slots"}, {});
    waiting.standardOutput(output.path() / "out").standardError(output.path() / "err");
    int status = -1;
    std::thread run([&] { status = waiting.run(); });
    // What keydb wrote to stderr once the waiting line shows (or after
    // thirty seconds); then the lock is given up.
    std::string err;
    for (int tries = 0; tries < 600 && err.find('\n') == std::string::npos; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        err = fileText(output.path() / "err");
    }
    close(holder);
    run.join();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(err, "keydb: waiting for another keydb to finish with the default token in " +
                       defaultTokenFolder().string() + " (lock " + lockFile.string() + ")\n");
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
