// What a command reports, as "Label: value" lines or as JSON: one object,
// or for a list an array with one object per record. Fields are collected
// and printed together, in the order they were added. Text values are shown
// as terminalText, JSON strings as utf8Text gives them (see displaytext.h).
#ifndef KEYDB_OUTPUT_H
#define KEYDB_OUTPUT_H

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

class Output {
public:
    enum class Format { text, json };
    enum class Shape { object, list };

    explicit Output(Format format, Shape shape = Shape::object);
    static Format formatFor(bool json) { return json ? Format::json : Format::text; }
    Format format() const { return format_; }

    // A list's next record; in text, records are separated by blank lines.
    void record();
    // A line of its own in text, such as a section title; not in JSON.
    void heading(const std::string& text);

    // `label` names the field in text, `key` in JSON.
    void field(const std::string& label, const std::string& key, const std::string& value);
    // "yes" or "no" in text.
    void field(const std::string& label, const std::string& key, bool value);
    void field(const std::string& label, const std::string& key, unsigned long number);
    // Numbers separated by blanks in text ("none" when there are none), an
    // array in JSON.
    void field(const std::string& label, const std::string& key, const std::vector<unsigned long>& numbers);
    // Words separated by blanks in text ("none" when there are none), an
    // array in JSON.
    void field(const std::string& label, const std::string& key, const std::vector<std::string>& words);
    // `number` with `decimals` decimals and then `unit` in text, the number
    // alone in JSON.
    void field(const std::string& label, const std::string& key, double number, int decimals,
               const std::string& unit = "");
    // `text` in text, `number` in JSON.
    void field(const std::string& label, const std::string& key, const std::string& text, unsigned long number);

    void print(std::ostream& out) const;

private:
    template <typename Value>
    void add(const std::string& label, const std::string& key, const std::string& text, const Value& value);
    nlohmann::ordered_json& current();

    Format format_;
    Shape shape_;
    std::vector<std::string> lines_;
    bool recordOpen_ = false;
    nlohmann::ordered_json json_;
};

// Flushes `out`; throws std::runtime_error naming `what` and the system's
// reason when anything written to it could not be written.
void flushOrThrow(std::ostream& out, const std::string& what);

// A fixed-width Cryptoki text field without its blank padding.
std::string withoutPadding(std::string_view field);

#endif
