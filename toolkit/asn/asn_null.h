// NULL: no content octets.
#ifndef MERVIL_ASN_NULL_H
#define MERVIL_ASN_NULL_H

#include "asn/asn_primitive.h"

class asn_null : public asn_primitive {
public:
    explicit asn_null(int security = 0) : asn_primitive(5, security) {}

protected:
    int check_content(const unsigned char*, size_t length) const override {
        return length == 0 ? ASN_OK : ASN_BAD_VALUE;
    }
};

#endif
