// AlgorithmIdentifier ::= SEQUENCE { algorithm OBJECT IDENTIFIER,
//     parameters ANY DEFINED BY algorithm OPTIONAL }
#ifndef MERVIL_ALGORITHMIDENTIFIER_H
#define MERVIL_ALGORITHMIDENTIFIER_H

#include "asn/asn_any.h"
#include "asn/asn_oid.h"
#include "asn/asn_sequence.h"

class AlgorithmIdentifier : public asn_sequence {
public:
    explicit AlgorithmIdentifier(int security = 0) : asn_sequence(security), algorithm(security), parameters(security) {
        parameters.set_optional(true);
        register_child(&algorithm);
        register_child(&parameters);
    }
    ASN_COPYABLE(AlgorithmIdentifier)

    // algorithm = arcs, parameters = NULL (as RSA and digest algorithms
    // of PKCS#1 carry them).
    int set_value_with_null(const unsigned long* arcs, unsigned count);

    asn_oid algorithm;
    asn_any parameters;
};

#endif
