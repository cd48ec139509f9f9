#include "choice/urioption.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "choice/pinoption.h"

namespace {

const char* partWords(UriOption::Part part) {
    switch (part) {
    case UriOption::Part::library: return "the library (module-path)";
    case UriOption::Part::token: return "a token";
    case UriOption::Part::object: return "an item (object, id or type)";
    case UriOption::Part::pin: return "the user PIN";
    }
    return "";
}

}  // namespace

UriOption::UriOption(CLI::App& command)
    : option_(command.add_option("--uri", text_,
                                 "pkcs11: URI of the token or item (and its library and PIN), in place of the options "
                                 "that name them")) {
    option_->type_name("URI")->check(CLI::Validator([this](std::string& text) { return accept(text); }, "", "URI"));
}

UriOption::~UriOption() { wipeOptionText(text_, *option_); }

void UriOption::takes(Part part, std::vector<const CLI::Option*> options) {
    taken_.push_back({part, std::move(options)});
}

bool UriOption::names(Part part) const {
    if (!uri_) return false;
    const Pkcs11Uri& uri = *uri_;
    switch (part) {
    case Part::library: return uri.modulePath.has_value();
    case Part::token:
        return uri.token || uri.manufacturer || uri.serial || uri.model || uri.slotId || uri.slotDescription ||
               uri.slotManufacturer;
    case Part::object: return uri.object || uri.id || uri.type;
    case Part::pin: return uri.pinValue || uri.pinSource;
    }
    return false;
}

std::string UriOption::accept(const std::string& text) {
    try {
        uri_ = Pkcs11Uri::parse(text);
    } catch (const std::invalid_argument& refusal) {
        return refusal.what();
    }
    if (uri_->moduleName) return "module-name is not taken: name the library with module-path";
    if (uri_->libraryDescription || uri_->libraryManufacturer || uri_->libraryVersion)
        return "library-description, library-manufacturer and library-version are not taken: name the library "
               "with module-path";
    for (Part part : {Part::library, Part::token, Part::object, Part::pin}) {
        if (!names(part)) continue;
        const auto taken = std::find_if(taken_.begin(), taken_.end(), [&](const Taken& t) { return t.part == part; });
        if (taken == taken_.end())
            return std::string("the URI names ") + partWords(part) + ", which this command takes not";
        for (const CLI::Option* replaced : taken->options)
            if (replaced->count() != 0)
                return std::string("the URI names ") + partWords(part) + ": not with " + replaced->get_name();
    }
    return "";
}

std::optional<ZEPBuffer> UriOption::pin() const {
    if (!uri_) return std::nullopt;
    if (uri_->pinValue) return uri_->pinValue;
    if (!uri_->pinSource) return std::nullopt;
    const std::string& path = *uri_->pinSource;
    std::ifstream file(path, std::ios::binary);
    std::string line;
    if (!file || !std::getline(file, line))
        throw std::runtime_error("cannot read the PIN from " + path + ": " +
                                 (file ? "the file is empty" : std::strerror(errno)));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ZEPBuffer pin(line.size(), line.data());
    wipeText(line);
    if (pin.empty()) throw std::runtime_error("cannot read the PIN from " + path + ": its first line is empty");
    return pin;
}
