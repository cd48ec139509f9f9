// keydb: looks at PKCS#11 tokens through the adapter module, the way the
// toolkit uses them. Exit status: 0 done, 1 failed, 2 bad command line.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include <CLI/CLI.hpp>

#include "commands/certinfocommand.h"
#include "commands/command.h"
#include "commands/cryptocommands.h"
#include "io/displaytext.h"
#include "io/helpformatter.h"
#include "commands/importcommand.h"
#include "commands/infocommand.h"
#include "commands/itemcommands.h"
#include "commands/keypaircommands.h"
#include "commands/listcommand.h"
#include "commands/lookupcommands.h"
#include "commands/mechanismscommand.h"
#include "io/output.h"
#include "commands/pincommands.h"
#include "commands/slotscommand.h"
#include "commands/speedcommand.h"
#include "session/tracetostderr.h"

namespace {

constexpr const char* version = "keydb 0.1.0";

// A standard stream the caller closed stays taken by a descriptor that
// refuses writes: a file keydb opens must not become its standard output,
// and writing to it must fail as writing to a closed stream does.
void keepStandardDescriptorsTaken() {
    for (int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        if (fcntl(descriptor, F_GETFD) < 0) {
            int opened = open("/dev/null", O_RDONLY);
            if (opened >= 0 && opened != descriptor) close(opened);
        }
}

int fail(const std::string& message) {
    std::cerr << "keydb: " << terminalText(message) << '\n';
    return 1;
}

// What could not be written counts as a failure like any other.
int finish() {
    try {
        flushOrThrow(std::cout, "to standard output");
        return 0;
    } catch (const std::exception& failure) {
        return fail(failure.what());
    }
}

int runSelected(const std::vector<std::unique_ptr<Command>>& commands) {
    try {
        for (const auto& command : commands)
            if (command->selected()) command->run();
    } catch (const std::exception& failure) {
        return fail(failure.what());
    }
    return finish();
}

// The first argument that is no option names the command: say so when no
// command has that name (CLI11 would only miss a command).
void refuseUnknownCommand(CLI::App& app, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.rfind("-", 0) == 0) continue;
        for (const CLI::App* command : app.get_subcommands({}))
            if (command->get_name() == argument) return;
        throw CLI::ParseError("unknown command \"" + terminalText(argument) + "\"; keydb --help lists the commands",
                              CLI::ExitCodes::ExtrasError);
    }
}

}  // namespace

int main(int argc, char** argv) {
    keepStandardDescriptorsTaken();
    // Whatever keydb or SoftHSM2 on its behalf creates is the user's alone:
    // folders 0700, files 0600, whatever the caller's umask.
    umask(077);
    // A closed pipe is reported as a failed write, not a silent death.
    signal(SIGPIPE, SIG_IGN);

    CLI::App app("keydb: PKCS#11 tokens seen through the mervil7 module", "keydb");
    app.formatter(std::make_shared<HelpFormatter>());
    // Usage errors quote what was typed: no control character of it reaches
    // the terminal raw.
    app.failure_message([](const CLI::App*, const CLI::Error& error) {
        return terminalText(error.what()) + "\nRun with --help for more information.\n";
    });
    app.require_subcommand(1);
    // Global options may also follow the command: keydb info --trace.
    app.fallthrough();
    app.set_version_flag("--version", version, "Show keydb's version and exit");
    bool trace = false;
    app.add_flag("--trace", trace, "Write the module's trace records to stderr");
    CLI::App* help = app.add_subcommand("help", "Show this help, or a command's, and exit");
    std::string topic;
    help->add_option("COMMAND", topic, "The command whose help to show")
        ->check([&app](const std::string& name) {
            for (const CLI::App* command : app.get_subcommands({}))
                if (command->get_name() == name) return std::string();
            return "unknown command \"" + terminalText(name) + "\"";
        });

    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(std::make_unique<InfoCommand>(app));
    commands.push_back(std::make_unique<SlotsCommand>(app));
    commands.push_back(std::make_unique<MechanismsCommand>(app));
    commands.push_back(std::make_unique<InitTokenCommand>(app));
    commands.push_back(std::make_unique<InitPinCommand>(app));
    commands.push_back(std::make_unique<ChangePinCommand>(app));
    commands.push_back(std::make_unique<CertInfoCommand>(app));
    commands.push_back(std::make_unique<ListCommand>(app));
    commands.push_back(std::make_unique<ShowCommand>(app));
    commands.push_back(std::make_unique<ExportCertCommand>(app));
    commands.push_back(std::make_unique<GenKeyCommand>(app));
    commands.push_back(std::make_unique<SignCommand>(app));
    commands.push_back(std::make_unique<EncryptCommand>(app));
    commands.push_back(std::make_unique<DecryptCommand>(app));
    commands.push_back(std::make_unique<RandomCommand>(app));
    commands.push_back(std::make_unique<ExportRequestCommand>(app));
    commands.push_back(std::make_unique<RequestCommand>(app));
    commands.push_back(std::make_unique<ImportCommand>(app));
    commands.push_back(std::make_unique<PairCommand>(app));
    commands.push_back(std::make_unique<RenameCommand>(app));
    commands.push_back(std::make_unique<DeleteCommand>(app));
    commands.push_back(std::make_unique<SpeedCommand>(app));

    try {
        refuseUnknownCommand(app, argc, argv);
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help and --version end here too, with status 0.
        return app.exit(error) == 0 ? finish() : 2;
    }
    if (help->parsed()) {
        // keydb help [COMMAND]: what keydb --help or keydb COMMAND --help shows.
        if (topic.empty())
            std::cout << app.get_formatter()->make_help(&app, "keydb", CLI::AppFormatMode::Normal);
        else
            std::cout << app.get_subcommand(topic)->help("keydb");
        return finish();
    }

    std::optional<TraceToStderr> traceOutput;
    if (trace) traceOutput.emplace();
    return runSelected(commands);
}
