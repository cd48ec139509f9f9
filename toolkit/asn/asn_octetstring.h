// OCTET STRING: the content octets are the value.
#ifndef MERVIL_ASN_OCTETSTRING_H
#define MERVIL_ASN_OCTETSTRING_H

#include "asn/asn_primitive.h"

class asn_octetstring : public asn_primitive {
public:
    explicit asn_octetstring(int security = 0) : asn_primitive(4, security) {}

    int set_value(const unsigned char* bytes, size_t length);
    int set_value(const ZEPBuffer& bytes) { return set_value(bytes.getValue(), bytes.getLength()); }
    int get_value(ZEPBuffer& bytes) const;

protected:
    int check_content(const unsigned char*, size_t) const override { return ASN_OK; }
};

#endif
