#include "io/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <stdexcept>

#include "io/displaytext.h"

namespace {

// The words separated by blanks; "none" when there are none.
std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text.empty() ? "none" : text;
}

}  // namespace

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
    lines_.push_back(terminalText(text));
    recordOpen_ = false;
}

nlohmann::ordered_json& Output::current() { return shape_ == Shape::list ? json_.back() : json_; }

template <typename Value>
void Output::add(const std::string& label, const std::string& key, const std::string& text, const Value& value) {
    lines_.push_back(label + ": " + terminalText(text));
    current()[key] = value;
}

void Output::field(const std::string& label, const std::string& key, const std::string& value) {
    add(label, key, value, utf8Text(value));
}

void Output::field(const std::string& label, const std::string& key, bool value) {
    add(label, key, value ? "yes" : "no", value);
}

void Output::field(const std::string& label, const std::string& key, unsigned long number) {
    add(label, key, std::to_string(number), number);
}

void Output::field(const std::string& label, const std::string& key, const std::vector<unsigned long>& numbers) {
    std::vector<std::string> words;
    for (unsigned long number : numbers) words.push_back(std::to_string(number));
    add(label, key, joined(words), numbers);
}

void Output::field(const std::string& label, const std::string& key, const std::vector<std::string>& words) {
    add(label, key, joined(words), words);
}

void Output::field(const std::string& label, const std::string& key, double number, int decimals,
                   const std::string& unit) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, number);
    add(label, key, text + unit, number);
}

void Output::field(const std::string& label, const std::string& key, const std::string& text, unsigned long number) {
    add(label, key, text, number);
}

void Output::print(std::ostream& out) const {
    if (format_ == Format::json) {
        out << json_.dump(2) << '\n';
        return;
    }
    for (const std::string& line : lines_) out << line << '\n';
}

void flushOrThrow(std::ostream& out, const std::string& what) {
    errno = 0;
    out.flush();
    if (out) return;
    int error = errno;
    throw std::runtime_error("cannot write " + what + (error ? std::string(": ") + std::strerror(error) : ""));
}

std::string withoutPadding(std::string_view field) {
    size_t end = field.find_last_not_of(' ');
    return std::string(field.substr(0, end == std::string_view::npos ? 0 : end + 1));
}
