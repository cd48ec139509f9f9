#include "io/subjectname.h"

#include <map>
#include <stdexcept>

#include "asn/asn_string.h"
#include "asn/asn_x500name.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "io/displaytext.h"

namespace {

// The most characters X.520 allows in a value of these attribute types (RFC
// 5280 for e-mail addresses).
const std::map<std::string, std::size_t> upperBounds = {
    {"2.5.4.3", 64},     {"2.5.4.4", 32768},  {"2.5.4.5", 64},     {"2.5.4.6", 2},
    {"2.5.4.7", 128},    {"2.5.4.8", 128},    {"2.5.4.9", 128},    {"2.5.4.10", 64},
    {"2.5.4.11", 64},    {"2.5.4.12", 64},    {"2.5.4.13", 1024},  {"2.5.4.17", 40},
    {"2.5.4.41", 32768}, {"2.5.4.42", 32768}, {"2.5.4.43", 32768}, {"2.5.4.44", 32768},
    {"2.5.4.65", 128},   {"1.2.840.113549.1.9.1", 255},
};
constexpr const char* countryName = "2.5.4.6";

// Refuses a value a request's reader could not take.
void checkValue(const AttributeTypeAndValue& attribute) {
    const std::string oid = attribute.type.to_string();
    const std::string name = ZEPASNOID::attributeShortName(oid);
    const std::string type = "the subject's " + (name.empty() ? oid : name);
    const asn_any& value = attribute.value;
    std::string text;
    const r_buffer_t content = value.content_view();
    if (value.get_class() != asn_object::CLASS_UNIVERSAL || value.holds_constructed() ||
        asn_string::text_of(value.get_tag(), content.data, content.len, text) != ASN_OK)
        throw std::runtime_error(type + " is no text: a #value must be the DER of a string (UTF8String, "
                                        "PrintableString, IA5String, BMPString, ...)");
    const std::size_t characters = characterCount(text);
    if (characters == 0) throw std::runtime_error(type + " is empty");
    if (holdsControlCharacter(text)) throw std::runtime_error(type + " holds a control character");
    if (oid == countryName && characters != 2)
        throw std::runtime_error(type + " has " + std::to_string(characters) +
                                 " characters; a country is named by two, such as DE");
    const auto bound = upperBounds.find(oid);
    if (bound != upperBounds.end() && characters > bound->second)
        throw std::runtime_error(type + " has " + std::to_string(characters) + " characters, more than the " +
                                 std::to_string(bound->second) + " it may have");
}

}  // namespace

void parseSubjectName(const std::string& text, asn_x500name& name) {
    if (text.empty()) throw std::runtime_error("the subject is empty; give one such as CN=Alice,O=Example");
    if (name.from_string(text) != 0)
        throw std::runtime_error("cannot encode the subject \"" + text +
                                 "\": write TYPE=VALUE pairs separated by ',' (or '+' within one RDN), such as "
                                 "CN=Alice,O=Example, with no blank after a separator; TYPE is CN, O, OU, C, L, ST, "
                                 "emailAddress (or E), serialNumber, DC, UID, another common short name or a dotted "
                                 "object identifier; escape , + \\ \" < > ; and a leading # or blank with a "
                                 "backslash");
}

ZEPBuffer requestSubjectDER(const std::string& text) {
    asn_x500name name;
    parseSubjectName(text, name);
    for (std::size_t r = 0; r < name.size(); ++r)
        for (std::size_t a = 0; a < name.at(r).size(); ++a) checkValue(name.at(r).at(a));
    return ZEPASNUtility::getDEREncoding(name);
}
