// IssuerAndSerialNumber ::= SEQUENCE { issuer Name, serialNumber INTEGER }
#ifndef MERVIL_ISSUERANDSERIALNUMBER_H
#define MERVIL_ISSUERANDSERIALNUMBER_H

#include "asn/asn_integer.h"
#include "asn/asn_x500name.h"

class IssuerAndSerialNumber : public asn_sequence {
public:
    explicit IssuerAndSerialNumber(int security = 0) : asn_sequence(security), issuer(security), serialNumber(security) {
        register_child(&issuer);
        register_child(&serialNumber);
    }
    ASN_COPYABLE(IssuerAndSerialNumber)

    asn_x500name issuer;
    asn_integer serialNumber;
};

#endif
