#include "asn/asn_bitstring.h"

int asn_bitstring::check_content(const unsigned char* content, size_t length) const {
    if (length == 0 || content[0] > 7 || (length == 1 && content[0] != 0)) return ASN_BAD_VALUE;
    unsigned char unusedMask = static_cast<unsigned char>((1u << content[0]) - 1);
    return (content[length - 1] & unusedMask) == 0 ? ASN_OK : ASN_NOT_DER;
}

int asn_bitstring::set_value(const unsigned char* bytes, unsigned long bitLength) {
    size_t byteLength = (bitLength + 7) / 8;
    if (!bytes && byteLength) return ASN_BAD_ARGUMENT;
    asn_bytes value;
    value.reserve(byteLength + 1);
    unsigned char unused = static_cast<unsigned char>((8 - bitLength % 8) % 8);
    value.push_back(unused);
    value.insert(value.end(), bytes, bytes + byteLength);
    if (byteLength) value.back() &= static_cast<unsigned char>(0xFF << unused);
    store(std::move(value));
    return ASN_OK;
}

int asn_bitstring::get_value(ZEPBuffer& bytes, unsigned long& bitLength) const {
    if (!is_present()) return ASN_NO_VALUE;
    r_buffer_t view = value_view();
    bytes.assign(view.len, view.data);
    bitLength = get_bit_length();
    return ASN_OK;
}

unsigned long asn_bitstring::get_bit_length() const {
    return 8UL * (content().size() - 1) - content()[0];
}

r_buffer_t asn_bitstring::value_view() const {
    r_buffer_t view = content_view();
    ++view.data;
    --view.len;
    return view;
}
