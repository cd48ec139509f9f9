#include "choice/librarychoice.h"

LibraryChoice::LibraryChoice(CLI::App& command, UriOption* uri) : uri_(uri) {
    auto* option =
        command.add_option("--library", library_, "Cryptoki (PKCS#11) library to use instead of the default token")
            ->type_name("PATH")
            ->check(CLI::Validator([](const std::string& path) { return path.empty() ? "the path is empty" : ""; },
                                   "", "non-empty"));
    if (uri_) uri->takes(UriOption::Part::library, {option});
}

std::optional<std::string> LibraryChoice::given() const {
    if (library_ || !uri_ || !uri_->uri()) return library_;
    return uri_->uri()->modulePath;
}

std::string LibraryChoice::prepare(Output::Format format, Need need) const {
    if (auto path = given()) return *path;
    DefaultToken().prepare(format, need);
    return SoftHSMHome::libraryPath;
}

std::optional<HomeLock> LibraryChoice::lock(Access access) const {
    if (given()) return std::nullopt;
    return DefaultToken().lock(access);
}

ChosenLibrary LibraryChoice::resolve(Output::Format format, Access access, Need need) const {
    std::string path = prepare(format, need);
    return {std::move(path), lock(access)};
}
