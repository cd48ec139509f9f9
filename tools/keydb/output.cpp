#include "output.h"

#include <ostream>

Output::Output(Format format, Shape shape)
    : format_(format),
      shape_(shape),
      json_(shape == Shape::list ? nlohmann::ordered_json::array() : nlohmann::ordered_json::object()) {}

void Output::record() {
    if (recordOpen_) lines_.emplace_back();
    recordOpen_ = true;
    json_.push_back(nlohmann::ordered_json::object());
}

void Output::heading(const std::string& text) {
    if (!lines_.empty()) lines_.emplace_back();
    lines_.push_back(text);
    recordOpen_ = false;
}

nlohmann::ordered_json& Output::current() { return shape_ == Shape::list ? json_.back() : json_; }

template <typename Value>
void Output::add(const std::string& label, const std::string& key, const std::string& text, const Value& value) {
    lines_.push_back(label + ": " + text);
    current()[key] = value;
}

void Output::field(const std::string& label, const std::string& key, const std::string& value) {
    add(label, key, value, value);
}

void Output::field(const std::string& label, const std::string& key, bool value) {
    add(label, key, value ? "yes" : "no", value);
}

void Output::field(const std::string& label, const std::string& key, unsigned long number) {
    add(label, key, std::to_string(number), number);
}

void Output::field(const std::string& label, const std::string& key, const std::vector<unsigned long>& numbers) {
    std::string text;
    for (unsigned long number : numbers) text += (text.empty() ? "" : " ") + std::to_string(number);
    add(label, key, text.empty() ? "none" : text, numbers);
}

void Output::field(const std::string& label, const std::string& key, const std::string& text, unsigned long number) {
    add(label, key, text, number);
}

void Output::print(std::ostream& out) const {
    if (format_ == Format::json) {
        // Invalid UTF-8 from a token is replaced rather than refused.
        out << json_.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
        return;
    }
    for (const std::string& line : lines_) out << line << '\n';
}

std::string withoutPadding(std::string_view field) {
    size_t end = field.find_last_not_of(' ');
    return std::string(field.substr(0, end == std::string_view::npos ? 0 : end + 1));
}
