#include "asn/asn_boolean.h"

int asn_boolean::check_content(const unsigned char* content, size_t length) const {
    if (length != 1) return ASN_BAD_VALUE;
    return content[0] == 0x00 || content[0] == 0xFF ? ASN_OK : ASN_NOT_DER;
}
