// SubjectPublicKeyInfo ::= SEQUENCE { algorithm AlgorithmIdentifier,
//     subjectPublicKey BIT STRING }
#ifndef MERVIL_SUBJECTPUBLICKEYINFO_H
#define MERVIL_SUBJECTPUBLICKEYINFO_H

#include "asn/algorithmidentifier.h"
#include "asn/asn_bitstring.h"

class SubjectPublicKeyInfo : public asn_sequence {
public:
    explicit SubjectPublicKeyInfo(int security = 0)
        : asn_sequence(security), algorithm(security), subjectPublicKey(security) {
        register_child(&algorithm);
        register_child(&subjectPublicKey);
    }
    ASN_COPYABLE(SubjectPublicKeyInfo)

    AlgorithmIdentifier algorithm;
    asn_bitstring subjectPublicKey;
};

#endif
