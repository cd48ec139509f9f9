#include "choice/librarychoice.h"

#include <iostream>

LibraryChoice::LibraryChoice(CLI::App& command) {
    command.add_option("--library", library_, "Cryptoki (PKCS#11) library to use instead of the default token")
        ->type_name("PATH")
        ->check(CLI::Validator([](const std::string& path) { return path.empty() ? "the path is empty" : ""; },
                               "", "non-empty"));
}

ChosenLibrary LibraryChoice::resolve(Output::Format format, Access access) const {
    if (library_) return {*library_, std::nullopt};
    HomeLock lock = DefaultToken().prepare(format == Output::Format::json ? std::cerr : std::cout, access);
    return {SoftHSMHome::libraryPath, std::move(lock)};
}
