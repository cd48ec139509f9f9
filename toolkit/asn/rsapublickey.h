// RSAPublicKey ::= SEQUENCE { modulus INTEGER, publicExponent INTEGER }
// (PKCS#1).
#ifndef MERVIL_ASN_RSAPUBLICKEY_H
#define MERVIL_ASN_RSAPUBLICKEY_H

#include "asn/asn_integer.h"
#include "asn/asn_sequence.h"

class RSAPublicKey : public asn_sequence {
public:
    RSAPublicKey() {
        register_child(&modulus);
        register_child(&publicExponent);
    }

    asn_integer modulus;
    asn_integer publicExponent;
};

#endif
