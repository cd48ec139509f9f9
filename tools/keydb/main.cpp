// keydb: looks at PKCS#11 tokens through the adapter module, the way the
// toolkit uses them. Exit status: 0 done, 1 failed, 2 bad command line.
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include <CLI/CLI.hpp>

#include "certinfocommand.h"
#include "command.h"
#include "failuretext.h"
#include "infocommand.h"
#include "listcommand.h"
#include "lookupcommands.h"
#include "mechanismscommand.h"
#include "pincommands.h"
#include "slotscommand.h"
#include "tracetostderr.h"
#include "zepexception.h"

namespace {

int runSelected(const std::vector<std::unique_ptr<Command>>& commands) {
    try {
        for (const auto& command : commands)
            if (command->selected()) command->run();
        return 0;
    } catch (const ZEPException& failure) {
        std::cerr << "keydb: " << failureText(failure) << '\n';
    } catch (const std::exception& failure) {
        std::cerr << "keydb: " << failure.what() << '\n';
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("keydb: PKCS#11 tokens seen through the mervil7 module", "keydb");
    app.require_subcommand(1);
    // Global options may also follow the command: keydb info --trace.
    app.fallthrough();
    bool trace = false;
    app.add_flag("--trace", trace, "Write the module's trace records to stderr");

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

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : 2;
    }

    std::optional<TraceToStderr> traceOutput;
    if (trace) traceOutput.emplace();
    return runSelected(commands);
}
