#include "librarychoice.h"

#include "defaulttoken.h"

LibraryChoice::LibraryChoice(CLI::App& command) {
    command.add_option("--library", library_, "Cryptoki (PKCS#11) library to use instead of the default token")
        ->type_name("PATH");
}

std::string LibraryChoice::resolve(std::ostream& out) const {
    return library_.empty() ? DefaultToken().prepare(out) : library_;
}
