// What a command reports, as "Label: value" lines or as one JSON object.
// Fields are collected and printed together, in the order they were added.
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

    explicit Output(Format format) : format_(format) {}

    // `label` names the field in text, `key` in JSON.
    void field(const std::string& label, const std::string& key, const std::string& value);
    // Numbers separated by blanks in text ("none" when there are none), an
    // array in JSON.
    void field(const std::string& label, const std::string& key, const std::vector<unsigned long>& numbers);

    void print(std::ostream& out) const;

private:
    Format format_;
    std::vector<std::string> lines_;
    nlohmann::ordered_json object_ = nlohmann::ordered_json::object();
};

// A fixed-width Cryptoki text field without its blank padding.
std::string withoutPadding(std::string_view field);

#endif
