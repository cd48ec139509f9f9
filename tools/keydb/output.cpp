#include "output.h"

#include <ostream>

void Output::field(const std::string& label, const std::string& key, const std::string& value) {
    lines_.push_back(label + ": " + value);
    object_[key] = value;
}

void Output::field(const std::string& label, const std::string& key, const std::vector<unsigned long>& numbers) {
    std::string text;
    for (unsigned long number : numbers) text += (text.empty() ? "" : " ") + std::to_string(number);
    lines_.push_back(label + ": " + (text.empty() ? "none" : text));
    object_[key] = numbers;
}

void Output::print(std::ostream& out) const {
    if (format_ == Format::json) {
        // Invalid UTF-8 from a token is replaced rather than refused.
        out << object_.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
        return;
    }
    for (const std::string& line : lines_) out << line << '\n';
}

std::string withoutPadding(std::string_view field) {
    size_t end = field.find_last_not_of(' ');
    return std::string(field.substr(0, end == std::string_view::npos ? 0 : end + 1));
}
