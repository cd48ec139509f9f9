// Ecdsa-Sig-Value ::= SEQUENCE { r INTEGER, s INTEGER }   (RFC 3279)
#ifndef MERVIL_ASN_ECDSASIGVALUE_H
#define MERVIL_ASN_ECDSASIGVALUE_H

#include "asn/asn_integer.h"
#include "asn/asn_sequence.h"

class EcdsaSigValue : public asn_sequence {
public:
    EcdsaSigValue() {
        register_child(&r);
        register_child(&s);
    }

    asn_integer r;
    asn_integer s;
};

#endif
