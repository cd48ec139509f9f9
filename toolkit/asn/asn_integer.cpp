#include "asn/asn_integer.h"

namespace {

// How many leading octets can go without changing the value.
size_t redundant_sign_octets(const unsigned char* content, size_t length) {
    size_t count = 0;
    while (count + 1 < length && ((content[count] == 0x00 && !(content[count + 1] & 0x80)) ||
                                  (content[count] == 0xFF && (content[count + 1] & 0x80))))
        ++count;
    return count;
}

}  // namespace

int asn_integer::check_content(const unsigned char*, size_t length) const {
    return length == 0 ? ASN_BAD_VALUE : ASN_OK;
}

int asn_integer::set_value(const unsigned char* bytes, size_t length) {
    int rc = check_content(bytes, length);
    if (rc == ASN_OK) store(bytes, length);
    return rc == ASN_OK ? ASN_OK : ASN_BAD_ARGUMENT;
}

int asn_integer::get_value(ZEPBuffer& bytes) const {
    if (!is_present()) return ASN_NO_VALUE;
    bytes.assign(content().size(), content().data());
    return ASN_OK;
}

int asn_integer::set_value(long value) {
    unsigned char octets[sizeof(long)];
    unsigned long bits = static_cast<unsigned long>(value);
    for (size_t i = sizeof(long); i > 0; --i, bits >>= 8) octets[i - 1] = static_cast<unsigned char>(bits & 0xFF);
    size_t skip = redundant_sign_octets(octets, sizeof(long));
    store(octets + skip, sizeof(long) - skip);
    return ASN_OK;
}

int asn_integer::get_value(long& value) const {
    if (!is_present()) return ASN_NO_VALUE;
    size_t skip = redundant_sign_octets(content().data(), content().size());
    if (content().size() - skip > sizeof(long)) return ASN_UNSUPPORTED;
    unsigned long bits = is_negative() ? ~0UL : 0UL;
    for (size_t i = skip; i < content().size(); ++i) bits = (bits << 8) | content()[i];
    value = static_cast<long>(bits);
    return ASN_OK;
}

int asn_integer::get_unsigned(ZEPBuffer& magnitude) const {
    if (!is_present()) return ASN_NO_VALUE;
    size_t skip = 0;
    while (skip < content().size() && content()[skip] == 0) ++skip;
    magnitude.assign(content().size() - skip, content().data() + skip);
    return ASN_OK;
}
