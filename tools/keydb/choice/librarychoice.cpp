#include "choice/librarychoice.h"

LibraryChoice::LibraryChoice(CLI::App& command) {
    command.add_option("--library", library_, "Cryptoki (PKCS#11) library to use instead of the default token")
        ->type_name("PATH")
        ->check(CLI::Validator([](const std::string& path) { return path.empty() ? "the path is empty" : ""; },
                               "", "non-empty"));
}

std::string LibraryChoice::prepare(Output::Format format, Need need) const {
    if (library_) return *library_;
    DefaultToken().prepare(format, need);
    return SoftHSMHome::libraryPath;
}

std::optional<HomeLock> LibraryChoice::lock(Access access) const {
    if (library_) return std::nullopt;
    return DefaultToken().lock(access);
}

ChosenLibrary LibraryChoice::resolve(Output::Format format, Access access, Need need) const {
    std::string path = prepare(format, need);
    return {std::move(path), lock(access)};
}
