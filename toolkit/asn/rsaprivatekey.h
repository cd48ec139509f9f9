// RSAPrivateKey ::= SEQUENCE { version INTEGER, modulus, publicExponent,
//     privateExponent, prime1, prime2, exponent1, exponent2, coefficient
//     (all INTEGER), otherPrimeInfos OtherPrimeInfos OPTIONAL }   (PKCS#1)
// All of it is key material, wiped when released.
#ifndef MERVIL_ASN_RSAPRIVATEKEY_H
#define MERVIL_ASN_RSAPRIVATEKEY_H

#include "asn/asn_any.h"
#include "asn/asn_integer.h"
#include "asn/asn_sequence.h"

class RSAPrivateKey : public asn_sequence {
public:
    RSAPrivateKey()
        : asn_sequence(1), version(1), modulus(1), publicExponent(1), privateExponent(1), prime1(1), prime2(1),
          exponent1(1), exponent2(1), coefficient(1), otherPrimeInfos(1) {
        for (asn_integer* child : {&version, &modulus, &publicExponent, &privateExponent, &prime1, &prime2,
                                   &exponent1, &exponent2, &coefficient})
            register_child(child);
        otherPrimeInfos.set_optional(true);
        register_child(&otherPrimeInfos);
    }

    asn_integer version;
    asn_integer modulus;
    asn_integer publicExponent;
    asn_integer privateExponent;
    asn_integer prime1;
    asn_integer prime2;
    asn_integer exponent1;
    asn_integer exponent2;
    asn_integer coefficient;
    asn_any otherPrimeInfos;  // further primes of multi-prime keys, kept as they are
};

#endif
