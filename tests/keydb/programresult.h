// Running programs from tests: keydb itself, OpenSC's pkcs11-tool and others.
#ifndef KEYDB_TEST_PROGRAMRESULT_H
#define KEYDB_TEST_PROGRAMRESULT_H

#include <filesystem>
#include <string>
#include <vector>

#include "home/subprocess.h"

struct ProgramResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `process` to its end with stdout and stderr captured.
ProgramResult capture(Subprocess& process);

// The whole contents of a text file; empty when it cannot be read.
std::string fileText(const std::filesystem::path& file);

// The program `arguments[0]`, found on the PATH, with the other arguments,
// in this process's environment.
ProgramResult runProgram(std::vector<std::string> arguments);

// pkcs11-tool on SoftHSM2 with `arguments`, in this process's environment.
ProgramResult pkcs11Tool(std::vector<std::string> arguments);

#endif
