// ECPrivateKey ::= SEQUENCE { version INTEGER { ecPrivkeyVer1(1) },
//     privateKey OCTET STRING, parameters [0] ECParameters OPTIONAL,
//     publicKey [1] BIT STRING OPTIONAL }   (RFC 5915, explicit tags)
// All of it is key material, wiped when released.
#ifndef MERVIL_ASN_ECPRIVATEKEY_H
#define MERVIL_ASN_ECPRIVATEKEY_H

#include "asn/asn_any.h"
#include "asn/asn_bitstring.h"
#include "asn/asn_integer.h"
#include "asn/asn_octetstring.h"
#include "asn/asn_sequence.h"

class ECPrivateKey : public asn_sequence {
public:
    ECPrivateKey() : asn_sequence(1), version(1), privateKey(1), parameters(1), publicKey(1) {
        parameters.set_explicit_tag(0);
        parameters.set_optional(true);
        publicKey.set_explicit_tag(1);
        publicKey.set_optional(true);
        register_child(&version);
        register_child(&privateKey);
        register_child(&parameters);
        register_child(&publicKey);
    }

    asn_integer version;
    asn_octetstring privateKey;
    asn_any parameters;
    asn_bitstring publicKey;
};

#endif
