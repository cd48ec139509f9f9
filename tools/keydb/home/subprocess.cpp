#include "home/subprocess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace {

// posix_spawn_file_actions_t with its destruction on every way out.
class FileActions {
public:
    FileActions() { posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;

    void redirect(int descriptor, const std::optional<std::filesystem::path>& file, int flags) {
        if (file) posix_spawn_file_actions_addopen(&actions_, descriptor, file->c_str(), flags, 0600);
    }
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

// A NULL-terminated array of C strings pointing into `strings`.
std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& text : strings) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

std::vector<std::string> childEnvironment(const std::map<std::string, std::optional<std::string>>& changes) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) {
        std::string_view text(*entry);
        if (!changes.contains(std::string(text.substr(0, text.find('='))))) result.emplace_back(text);
    }
    for (const auto& [name, value] : changes)
        if (value) result.push_back(name + "=" + *value);
    return result;
}

}  // namespace

Subprocess::Subprocess(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {
    if (arguments_.empty()) throw std::invalid_argument("Subprocess needs a program");
}

Subprocess& Subprocess::environment(const std::string& name, std::optional<std::string> value) {
    environment_[name] = std::move(value);
    return *this;
}

Subprocess& Subprocess::standardInput(std::filesystem::path file) {
    standardInput_ = std::move(file);
    return *this;
}

Subprocess& Subprocess::standardOutput(std::filesystem::path file) {
    standardOutput_ = std::move(file);
    return *this;
}

Subprocess& Subprocess::standardError(std::filesystem::path file) {
    standardError_ = std::move(file);
    return *this;
}

int Subprocess::run() const {
    FileActions actions;
    constexpr int written = O_WRONLY | O_CREAT | O_TRUNC;
    actions.redirect(STDIN_FILENO, standardInput_, O_RDONLY);
    actions.redirect(STDOUT_FILENO, standardOutput_, written);
    actions.redirect(STDERR_FILENO, standardError_, written);
    std::vector<std::string> arguments = arguments_;
    std::vector<std::string> environment = childEnvironment(environment_);
    std::vector<char*> argv = pointers(arguments);
    std::vector<char*> envp = pointers(environment);

    pid_t child = 0;
    int error = posix_spawnp(&child, argv[0], actions.get(), nullptr, argv.data(), envp.data());
    if (error != 0) throw std::runtime_error("cannot run " + arguments_[0] + ": " + std::strerror(error));

    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) throw std::runtime_error("cannot wait for " + arguments_[0] + ": " + std::strerror(errno));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
