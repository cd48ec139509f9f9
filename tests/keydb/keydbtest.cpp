#include "keydbtest.h"

#include <fstream>
#include <sstream>

ProgramResult KeydbTest::keydb(std::vector<std::string> arguments,
                               const std::map<std::string, std::string>& environment,
                               const std::optional<std::string>& input) {
    arguments.insert(arguments.begin(), KEYDB_PROGRAM);
    Subprocess process(std::move(arguments));
    process.environment("KEYDB_MODULE", std::nullopt).environment("XDG_DATA_HOME", dataHome_.path().string());
    for (const auto& [name, value] : environment) process.environment(name, value);
    TemporaryFolder inputFolder("keydb-input");
    if (input) {
        std::ofstream(inputFolder.path() / "in") << *input;
        process.standardInput(inputFolder.path() / "in");
    }
    return capture(process);
}

std::map<std::string, std::string> fields(const std::string& text) {
    std::map<std::string, std::string> result;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        size_t colon = line.find(": ");
        if (colon != std::string::npos) result[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return result;
}
