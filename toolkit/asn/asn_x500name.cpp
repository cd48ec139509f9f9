#include "asn/asn_x500name.h"

#include <cstring>
#include <vector>

#include "asn/asn_string.h"
#include "asn/asn_timebase.h"
#include "asn/zepasnoid.h"

namespace {

const char hexDigits[] = "0123456789ABCDEF";
const char specials[] = ",+\"\\<>;";

void append_hex(std::string& out, const unsigned char* bytes, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        out += hexDigits[bytes[i] >> 4];
        out += hexDigits[bytes[i] & 0x0F];
    }
}

void append_escaped(std::string& out, const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool edgeBlank = c == ' ' && (i == 0 || i + 1 == text.size());
        if (c < 0x20 || c >= 0x7F) {
            out += '\\';
            append_hex(out, &c, 1);
            continue;
        }
        if (edgeBlank || (c == '#' && i == 0) || std::strchr(specials, c)) out += '\\';
        out += static_cast<char>(c);
    }
}

void append_value(std::string& out, const AttributeTypeAndValue& attribute, bool knownType) {
    const asn_any& value = attribute.value;
    std::string text;
    bool textual = value.get_class() == asn_object::CLASS_UNIVERSAL && !value.holds_constructed() &&
                   (asn_string::is_string_tag(value.get_tag()) || value.get_tag() == asn_timebase::UTC_TIME ||
                    value.get_tag() == asn_timebase::GENERALIZED_TIME);
    if (knownType && textual) {
        r_buffer_t content = value.content_view();
        bool ascii = !asn_string::is_string_tag(value.get_tag());
        if (ascii) text.assign(reinterpret_cast<const char*>(content.data), content.len);
        if (ascii || asn_string::text_of(value.get_tag(), content.data, content.len, text) == ASN_OK) {
            append_escaped(out, text);
            return;
        }
    }
    out += '#';
    append_hex(out, value.der().data(), value.der().size());
}

int hex_value(char c) {
    const char* digit = c ? std::strchr(hexDigits, c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c) : nullptr;
    return digit ? static_cast<int>(digit - hexDigits) : -1;
}

// Reads RFC 4514 text one attribute at a time.
class name_parser {
public:
    explicit name_parser(const std::string& text) : text_(text) {}

    bool at_end() const { return pos_ == text_.size(); }

    // One "type=value"; `separator` gets the character after it (',', '+'
    // or 0 at the end).
    int next(AttributeTypeAndValue& attribute, char& separator) {
        size_t equals = text_.find('=', pos_);
        if (equals == std::string::npos) return ASN_BAD_ARGUMENT;
        std::string type = text_.substr(pos_, equals - pos_);
        std::string oid = ZEPASNOID::attributeOid(type);
        if (attribute.type.from_string(oid.empty() ? type : oid) != ASN_OK) return ASN_BAD_ARGUMENT;
        pos_ = equals + 1;
        int rc = pos_ < text_.size() && text_[pos_] == '#' ? read_der(attribute) : read_text(attribute);
        if (rc != ASN_OK) return rc;
        separator = at_end() ? 0 : text_[pos_++];
        return separator == 0 || ((separator == ',' || separator == '+') && !at_end()) ? ASN_OK : ASN_BAD_ARGUMENT;
    }

private:
    int read_der(AttributeTypeAndValue& attribute) {
        buffer_t der;
        for (++pos_; !at_end() && text_[pos_] != ',' && text_[pos_] != '+'; pos_ += 2) {
            int high = hex_value(text_[pos_]), low = pos_ + 1 < text_.size() ? hex_value(text_[pos_ + 1]) : -1;
            if (high < 0 || low < 0) return ASN_BAD_ARGUMENT;
            der.push_back(static_cast<unsigned char>(high * 16 + low));
        }
        return attribute.value.read(der.view()) == ASN_OK ? ASN_OK : ASN_BAD_ARGUMENT;
    }

    int read_text(AttributeTypeAndValue& attribute) {
        std::string value;
        for (; !at_end() && text_[pos_] != ',' && text_[pos_] != '+'; ++pos_) {
            char c = text_[pos_];
            if (c != '\\') {
                if (std::strchr(specials, c)) return ASN_BAD_ARGUMENT;
                value += c;
                continue;
            }
            if (++pos_ == text_.size()) return ASN_BAD_ARGUMENT;
            int high = hex_value(text_[pos_]);
            if (high >= 0) {
                int low = pos_ + 1 < text_.size() ? hex_value(text_[pos_ + 1]) : -1;
                if (low < 0) return ASN_BAD_ARGUMENT;
                value += static_cast<char>(high * 16 + low);
                ++pos_;
            } else if (std::strchr(specials, text_[pos_]) || text_[pos_] == ' ' || text_[pos_] == '#' ||
                       text_[pos_] == '=') {
                value += text_[pos_];
            } else {
                return ASN_BAD_ARGUMENT;
            }
        }
        asn_string_of<asn_string::UTF8> utf8;
        asn_string_of<asn_string::PRINTABLE> printable;
        asn_string_of<asn_string::IA5> ia5;
        unsigned long tag = ZEPASNOID::attributeStringTag(attribute.type.to_string());
        asn_string* preferred = tag == asn_string::PRINTABLE ? static_cast<asn_string*>(&printable)
                                : tag == asn_string::IA5     ? static_cast<asn_string*>(&ia5)
                                                             : &utf8;
        if (preferred->set_text(value) != ASN_OK && (preferred = &utf8)->set_text(value) != ASN_OK)
            return ASN_BAD_ARGUMENT;
        return attribute.value.set_value(*preferred);
    }

    const std::string& text_;
    size_t pos_ = 0;
};

}  // namespace

std::string asn_x500name::to_string() const {
    std::string text;
    for (size_t r = size(); r > 0; --r) {
        const RelativeDistinguishedName& rdn = at(r - 1);
        if (r != size()) text += ',';
        for (size_t a = rdn.size(); a > 0; --a) {
            const AttributeTypeAndValue& attribute = rdn.at(a - 1);
            if (a != rdn.size()) text += '+';
            std::string oid = attribute.type.to_string();
            std::string name = ZEPASNOID::attributeShortName(oid);
            text += name.empty() ? oid : name;
            text += '=';
            append_value(text, attribute, !name.empty());
        }
    }
    return text;
}

int asn_x500name::from_string(const std::string& text) {
    // RDNs in text order (most specific first), each a list of attributes.
    std::vector<std::vector<AttributeTypeAndValue>> rdns(1);
    name_parser parser(text);
    while (!parser.at_end()) {
        AttributeTypeAndValue attribute;
        char separator = 0;
        int rc = parser.next(attribute, separator);
        if (rc != ASN_OK) return rc;
        rdns.back().push_back(attribute);
        if (separator == ',') rdns.emplace_back();
    }
    asn_x500name parsed;
    if (!text.empty())
        for (size_t r = rdns.size(); r > 0; --r) {
            RelativeDistinguishedName& rdn = parsed.add();
            for (const AttributeTypeAndValue& attribute : rdns[r - 1]) rdn.add().assign(attribute);
        }
    // Through DER, so that multi-valued RDNs are held in DER order.
    buffer_t der;
    int rc = parsed.write(der);
    return rc == ASN_OK ? read(der.view()) : rc;
}
