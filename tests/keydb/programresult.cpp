#include "programresult.h"

#include <fstream>
#include <sstream>

#include "home/softhsmhome.h"
#include "temporaryfolder.h"

std::string fileText(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ProgramResult capture(Subprocess& process) {
    TemporaryFolder folder("program-output");
    ProgramResult result;
    result.status = process.standardOutput(folder.path() / "out").standardError(folder.path() / "err").run();
    result.out = fileText(folder.path() / "out");
    result.err = fileText(folder.path() / "err");
    return result;
}

ProgramResult runProgram(std::vector<std::string> arguments) {
    Subprocess process(std::move(arguments));
    return capture(process);
}

ProgramResult pkcs11Tool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"pkcs11-tool", "--module", SoftHSMHome::libraryPath});
    return runProgram(std::move(arguments));
}
