#include "asn/asn_octetstring.h"

int asn_octetstring::set_value(const unsigned char* bytes, size_t length) {
    if (!bytes && length) return ASN_BAD_ARGUMENT;
    store(bytes, length);
    return ASN_OK;
}

int asn_octetstring::get_value(ZEPBuffer& bytes) const {
    if (!is_present()) return ASN_NO_VALUE;
    bytes.assign(content().size(), content().data());
    return ASN_OK;
}
