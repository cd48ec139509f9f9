#include "asn/asn_oid.h"

#include <algorithm>
#include <climits>

namespace {

// Splits content octets into sub-identifiers; false when they are not
// minimal base-128 numbers or do not fit an unsigned long.
bool decode_subidentifiers(const unsigned char* content, size_t length, std::vector<unsigned long>* out,
                           int* error) {
    size_t i = 0;
    while (i < length) {
        if (content[i] == 0x80) return *error = ASN_NOT_DER, false;
        unsigned long value = 0;
        for (;;) {
            if (i == length) return *error = ASN_BAD_VALUE, false;
            if (value > (ULONG_MAX >> 7)) return *error = ASN_UNSUPPORTED, false;
            unsigned char octet = content[i++];
            value = (value << 7) | (octet & 0x7F);
            if (!(octet & 0x80)) break;
        }
        if (out) out->push_back(value);
    }
    return true;
}

void append_subidentifier(asn_bytes& out, unsigned long value) {
    int shift = 0;
    while (shift + 7 < static_cast<int>(sizeof(unsigned long) * 8) && (value >> (shift + 7)) != 0) shift += 7;
    for (; shift > 0; shift -= 7) out.push_back(static_cast<unsigned char>(0x80 | ((value >> shift) & 0x7F)));
    out.push_back(static_cast<unsigned char>(value & 0x7F));
}

}  // namespace

int asn_oid::check_content(const unsigned char* content, size_t length) const {
    if (length == 0) return ASN_BAD_VALUE;
    int error = ASN_OK;
    decode_subidentifiers(content, length, nullptr, &error);
    return error;
}

int asn_oid::set_value(const unsigned long* arcs, unsigned count) {
    if (!arcs || count < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] >= 40) || arcs[1] > ULONG_MAX - 80)
        return ASN_BAD_ARGUMENT;
    asn_bytes content;
    append_subidentifier(content, arcs[0] * 40 + arcs[1]);
    for (unsigned i = 2; i < count; ++i) append_subidentifier(content, arcs[i]);
    store(std::move(content));
    return ASN_OK;
}

int asn_oid::get_value(std::vector<unsigned long>& arcs) const {
    std::vector<unsigned long> subidentifiers;
    int error = ASN_NO_VALUE;
    if (content().empty() || !decode_subidentifiers(content().data(), content().size(), &subidentifiers, &error))
        return error;
    unsigned long first = subidentifiers[0];
    arcs.clear();
    arcs.push_back(first < 40 ? 0 : first < 80 ? 1 : 2);
    arcs.push_back(first - 40 * arcs[0]);
    arcs.insert(arcs.end(), subidentifiers.begin() + 1, subidentifiers.end());
    return ASN_OK;
}

bool asn_oid::is_equal(const unsigned long* arcs, unsigned count) const {
    std::vector<unsigned long> own;
    return get_value(own) == ASN_OK && own.size() == count && std::equal(own.begin(), own.end(), arcs);
}

std::string asn_oid::to_string() const {
    std::vector<unsigned long> arcs;
    std::string text;
    if (get_value(arcs) != ASN_OK) return text;
    for (unsigned long arc : arcs) {
        if (!text.empty()) text += '.';
        text += std::to_string(arc);
    }
    return text;
}

int asn_oid::from_string(const std::string& dotted) {
    std::vector<unsigned long> arcs;
    unsigned long arc = 0;
    bool digits = false;
    for (char c : dotted) {
        if (c == '.' && digits) {
            arcs.push_back(arc);
            arc = 0;
            digits = false;
        } else if (c >= '0' && c <= '9' && !(digits && arc == 0) && arc <= (ULONG_MAX - 9) / 10) {
            arc = arc * 10 + static_cast<unsigned long>(c - '0');
            digits = true;
        } else {
            return ASN_BAD_ARGUMENT;
        }
    }
    if (!digits) return ASN_BAD_ARGUMENT;
    arcs.push_back(arc);
    return set_value(arcs.data(), static_cast<unsigned>(arcs.size()));
}
