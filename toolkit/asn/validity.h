// Validity ::= SEQUENCE { notBefore Time, notAfter Time }
#ifndef MERVIL_VALIDITY_H
#define MERVIL_VALIDITY_H

#include "asn/asn_sequence.h"
#include "asn/asn_time.h"

class Validity : public asn_sequence {
public:
    explicit Validity(int security = 0) : asn_sequence(security), notBefore(security), notAfter(security) {
        register_child(&notBefore);
        register_child(&notAfter);
    }
    ASN_COPYABLE(Validity)

    asn_time notBefore;
    asn_time notAfter;
};

#endif
