// keydb asking for PINs at a terminal: a pseudo-terminal stands in for the
// user's.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "keydbtest.h"
#include "softhsmtoken.h"

extern char** environ;

namespace {

// keydb run with a new pseudo-terminal as its controlling terminal and its
// standard input, output and error.
class TerminalKeydb {
public:
    TerminalKeydb(const std::vector<std::string>& arguments, const std::filesystem::path& dataHome) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) throw std::runtime_error("no pty");
        std::string terminal = ptsname(master_);
        std::vector<std::string> strings = {KEYDB_PROGRAM};
        strings.insert(strings.end(), arguments.begin(), arguments.end());
        std::vector<std::string> environment = {"XDG_DATA_HOME=" + dataHome.string()};
        for (char** entry = environ; *entry; ++entry) {
            std::string_view variable = *entry;
            if (variable.rfind("KEYDB_", 0) != 0 && variable.rfind("XDG_DATA_HOME=", 0) != 0)
                environment.emplace_back(variable);
        }
        std::vector<char*> argv = pointers(strings), envp = pointers(environment);
        child_ = fork();
        if (child_ == 0) {
            setsid();
            int slave = open(terminal.c_str(), O_RDWR);
            ioctl(slave, TIOCSCTTY, 0);
            for (int descriptor : {0, 1, 2}) dup2(slave, descriptor);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
    }
    ~TerminalKeydb() {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        close(master_);
    }
    TerminalKeydb(const TerminalKeydb&) = delete;
    TerminalKeydb& operator=(const TerminalKeydb&) = delete;

    // Reads what keydb writes until `text` has appeared (or ten seconds
    // have passed).
    bool waitFor(const std::string& text) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (output_.find(text, seen_) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            readSome(100);
        }
        seen_ = output_.find(text, seen_) + text.size();
        return true;
    }
    void type(const std::string& text) { ASSERT_EQ(write(master_, text.data(), text.size()), ssize_t(text.size())); }
    bool echoing() const {
        termios settings{};
        return tcgetattr(master_, &settings) == 0 && (settings.c_lflag & ECHO);
    }
    // Waits for the prompt's echo to go off.
    bool quiet() {
        for (int i = 0; i < 100 && echoing(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return !echoing();
    }
    void signal(int number) const { kill(child_, number); }
    // The exit status, or 128 + the signal that ended keydb; -1 when keydb
    // is still waiting after thirty seconds (it is then killed).
    int finish() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int status = 0;
        while (waitpid(child_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return -1;
            readSome(100);
        }
        while (readSome(0)) {
        }
        child_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    const std::string& output() const { return output_; }

private:
    static std::vector<char*> pointers(std::vector<std::string>& strings) {
        std::vector<char*> result;
        for (std::string& text : strings) result.push_back(text.data());
        result.push_back(nullptr);
        return result;
    }
    bool readSome(int milliseconds) {
        pollfd ready{master_, POLLIN, 0};
        if (poll(&ready, 1, milliseconds) <= 0) return false;
        char buffer[4096];
        ssize_t count = read(master_, buffer, sizeof buffer);
        if (count <= 0) return false;
        output_.append(buffer, static_cast<std::size_t>(count));
        return true;
    }

    int master_ = -1;
    pid_t child_ = 0;
    std::string output_;
    std::size_t seen_ = 0;
};

class PromptTest : public KeydbTest {
protected:
    std::unique_ptr<TerminalKeydb> start(std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"--library", token_.libraryPath()});
        return std::make_unique<TerminalKeydb>(arguments, dataHome_.path());
    }

    SoftHSMToken token_;
};

TEST_F(PromptTest, SignalsAtThePromptLeaveTheTerminalAsItWas) {
    // Ctrl-C typed at the terminal, and SIGTERM from elsewhere.
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        auto keydb = start({"change-pin"});
        ASSERT_TRUE(keydb->waitFor("User PIN: ")) << keydb->output();
        ASSERT_TRUE(keydb->quiet());
        if (signal == SIGINT)
            keydb->type("\x03");
        else
            keydb->signal(signal);
        EXPECT_EQ(keydb->finish(), 128 + signal) << keydb->output();
        EXPECT_TRUE(keydb->echoing());
    }
}

TEST_F(PromptTest, EmptyAnswerMeansNoLoginAndNewPinsAreTypedTwice) {
    auto list = start({"list"});
    ASSERT_TRUE(list->waitFor("User PIN: ")) << list->output();
    list->type("\n");
    EXPECT_EQ(list->finish(), 0) << list->output();
    EXPECT_NE(list->output().find("Keys:"), std::string::npos) << list->output();

    auto mistyped = start({"change-pin"});
    for (const char* answer : {token_.userPin().c_str(), "11112222", "11113333"}) {
        ASSERT_TRUE(mistyped->waitFor("PIN")) << mistyped->output();
        ASSERT_TRUE(mistyped->quiet());
        mistyped->type(std::string(answer) + "\n");
    }
    EXPECT_EQ(mistyped->finish(), 1);
    EXPECT_NE(mistyped->output().find("the two PINs typed differ"), std::string::npos) << mistyped->output();

    auto changed = start({"change-pin"});
    for (const char* answer : {token_.userPin().c_str(), "11112222", "11112222"}) {
        ASSERT_TRUE(changed->waitFor("PIN")) << changed->output();
        ASSERT_TRUE(changed->quiet());
        changed->type(std::string(answer) + "\n");
    }
    EXPECT_EQ(changed->finish(), 0) << changed->output();
    EXPECT_EQ(pkcs11Tool({"--token-label", token_.label(), "--login", "--pin", "11112222", "-O"}).status, 0);
}

// A command waiting at its PIN prompt on the default token lets others
// use the token meanwhile: no lock is held while the user types.
TEST_F(PromptTest, NoLockIsHeldWhileAPinIsAskedFor) {
    ASSERT_EQ(keydb({"info"}).status, 0);
    const std::vector<std::vector<std::string>> commands = {{"list"}, {"change-pin"}, {"speed", "--label", "k"}};
    for (const auto& command : commands) {
        SCOPED_TRACE(command.front());
        TerminalKeydb prompting(command, dataHome_.path());
        ASSERT_TRUE(prompting.waitFor("User PIN: ")) << prompting.output();
        const int lock = open((defaultTokenFolder() / "lock").c_str(), O_RDWR | O_CLOEXEC);
        EXPECT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
        close(lock);
    }
}

}  // namespace
