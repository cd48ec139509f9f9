#include "librarychoice.h"

#include <iostream>

#include "defaulttoken.h"

LibraryChoice::LibraryChoice(CLI::App& command) {
    command.add_option("--library", library_, "Cryptoki (PKCS#11) library to use instead of the default token")
        ->type_name("PATH");
}

std::string LibraryChoice::resolve(Output::Format format) const {
    if (!library_.empty()) return library_;
    return DefaultToken().prepare(format == Output::Format::json ? std::cerr : std::cout);
}
