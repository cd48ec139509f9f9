// One keydb command: a CLI11 subcommand with its options and what it does.
// main() runs the command that the command line selected.
#ifndef KEYDB_COMMAND_H
#define KEYDB_COMMAND_H

#include <string>

#include <CLI/CLI.hpp>

class Command {
public:
    Command(CLI::App& app, const std::string& name, const std::string& description)
        : options_(app.add_subcommand(name, description)) {}
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    bool selected() const { return options_->parsed(); }
    // Reports failures by exception.
    virtual void run() = 0;

protected:
    CLI::App& options() { return *options_; }

private:
    CLI::App* options_;
};

#endif
