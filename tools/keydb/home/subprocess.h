// Runs a program as a child process and waits for it. Arguments go to the
// program directly (no shell), so nothing in them needs quoting.
#ifndef KEYDB_SUBPROCESS_H
#define KEYDB_SUBPROCESS_H

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

class Subprocess {
public:
    // arguments[0] is the program, looked up in PATH when it has no slash.
    explicit Subprocess(std::vector<std::string> arguments);

    // Sets (or, with no value, removes) one variable of the child's
    // environment; the rest is inherited.
    Subprocess& environment(const std::string& name, std::optional<std::string> value);
    // Feeds the child's standard input from a file; by default it is the
    // caller's.
    Subprocess& standardInput(std::filesystem::path file);
    // Sends the child's standard output or error to a file (created or
    // truncated); by default they are the caller's.
    Subprocess& standardOutput(std::filesystem::path file);
    Subprocess& standardError(std::filesystem::path file);

    // The exit status, or 128 + the signal number when a signal ended the
    // child. Throws std::runtime_error when the program cannot be started;
    // the message names the program only, never its arguments.
    int run() const;

private:
    std::vector<std::string> arguments_;
    std::map<std::string, std::optional<std::string>> environment_;
    std::optional<std::filesystem::path> standardInput_;
    std::optional<std::filesystem::path> standardOutput_;
    std::optional<std::filesystem::path> standardError_;
};

#endif
