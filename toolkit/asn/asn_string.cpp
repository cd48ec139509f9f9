#include "asn/asn_string.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// How a string type stores characters: code unit width and the characters
// it admits.
struct charset {
    size_t width;
    bool (*admits)(uint32_t);
};

bool any_code_point(uint32_t c) { return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF); }
bool latin1(uint32_t c) { return c <= 0xFF; }
bool ascii(uint32_t c) { return c <= 0x7F; }
bool visible(uint32_t c) { return c >= 0x20 && c <= 0x7E; }
bool bmp(uint32_t c) { return c <= 0xFFFF && any_code_point(c); }
bool numeric(uint32_t c) { return c == ' ' || (c >= '0' && c <= '9'); }
bool printable(uint32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           (c != 0 && std::strchr(" '()+,-./:=?", static_cast<int>(c)) != nullptr);
}

bool charset_of(unsigned long tag, charset& set) {
    switch (tag) {
    case asn_string::UTF8: set = {0, any_code_point}; return true;
    case asn_string::NUMERIC: set = {1, numeric}; return true;
    case asn_string::PRINTABLE: set = {1, printable}; return true;
    case asn_string::TELETEX: set = {1, latin1}; return true;
    case asn_string::IA5: set = {1, ascii}; return true;
    case asn_string::VISIBLE: set = {1, visible}; return true;
    case asn_string::UNIVERSAL: set = {4, any_code_point}; return true;
    case asn_string::BMP: set = {2, bmp}; return true;
    default: return false;
    }
}

// Strict UTF-8: no overlong forms, surrogates or values past U+10FFFF.
bool decode_utf8(const unsigned char* bytes, size_t length, std::vector<uint32_t>& out) {
    for (size_t i = 0; i < length;) {
        unsigned char lead = bytes[i++];
        size_t extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : 4;
        if (extra == 4 || length - i < extra) return false;
        uint32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (size_t k = 0; k < extra; ++k) {
            if ((bytes[i] & 0xC0) != 0x80) return false;
            c = (c << 6) | (bytes[i++] & 0x3F);
        }
        static const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (c < minimum[extra] || !any_code_point(c)) return false;
        out.push_back(c);
    }
    return true;
}

void append_utf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Code points of content octets in the type's storage form. Characters
// are not checked against the set: real certificates carry, for instance,
// '@' and '*' in PrintableStrings, and those are still read.
bool code_points(const charset& set, const unsigned char* content, size_t length, std::vector<uint32_t>& out) {
    if (set.width == 0) return decode_utf8(content, length, out);
    if (length % set.width) return false;
    for (size_t i = 0; i < length; i += set.width) {
        uint32_t c = 0;
        for (size_t k = 0; k < set.width; ++k) c = (c << 8) | content[i + k];
        if (set.width > 1 && !any_code_point(c)) return false;
        out.push_back(c);
    }
    return true;
}

}  // namespace

bool asn_string::is_string_tag(unsigned long tag) {
    charset set;
    return charset_of(tag, set);
}

int asn_string::text_of(unsigned long tag, const unsigned char* content, size_t length, std::string& utf8) {
    charset set;
    std::vector<uint32_t> characters;
    if (!charset_of(tag, set)) return ASN_BAD_TAG;
    if (!code_points(set, content, length, characters)) return ASN_BAD_VALUE;
    utf8.clear();
    for (uint32_t c : characters) append_utf8(utf8, c);
    return ASN_OK;
}

int asn_string::check_content(const unsigned char* content, size_t length) const {
    charset set;
    std::vector<uint32_t> characters;
    if (!charset_of(get_tag(), set)) return ASN_BAD_TAG;
    // A UTF8String holds any octets: a token label in another encoding
    // (Latin-1, say) is kept and compared byte for byte; only its text is
    // refused.
    if (set.width == 0) return ASN_OK;
    return code_points(set, content, length, characters) ? ASN_OK : ASN_BAD_VALUE;
}

int asn_string::get_text(std::string& utf8) const {
    if (!is_present()) return ASN_NO_VALUE;
    return text_of(get_tag(), content().data(), content().size(), utf8);
}

int asn_string::set_text(const std::string& utf8) {
    charset set;
    std::vector<uint32_t> characters;
    if (!charset_of(get_tag(), set)) return ASN_BAD_TAG;
    if (!decode_utf8(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size(), characters))
        return ASN_BAD_ARGUMENT;
    if (set.width == 0) {
        store(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size());
        return ASN_OK;
    }
    asn_bytes content;
    for (uint32_t c : characters) {
        if (!set.admits(c)) return ASN_BAD_ARGUMENT;
        for (size_t k = set.width; k > 0; --k) content.push_back(static_cast<unsigned char>(c >> (8 * (k - 1))));
    }
    store(std::move(content));
    return ASN_OK;
}

int asn_string::set_value(const unsigned char* bytes, size_t length) {
    if (!bytes && length) return ASN_BAD_ARGUMENT;
    int rc = check_content(bytes, length);
    if (rc == ASN_OK) store(bytes, length);
    return rc == ASN_OK ? ASN_OK : ASN_BAD_ARGUMENT;
}
