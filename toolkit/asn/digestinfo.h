// DigestInfo ::= SEQUENCE { digestAlgorithm AlgorithmIdentifier,
//     digest OCTET STRING }   (PKCS#1)
#ifndef MERVIL_DIGESTINFO_H
#define MERVIL_DIGESTINFO_H

#include "asn/algorithmidentifier.h"
#include "asn/asn_octetstring.h"

class DigestInfo : public asn_sequence {
public:
    explicit DigestInfo(int security = 0) : asn_sequence(security), digestAlgorithm(security), digest(security) {
        register_child(&digestAlgorithm);
        register_child(&digest);
    }
    ASN_COPYABLE(DigestInfo)

    AlgorithmIdentifier digestAlgorithm;
    asn_octetstring digest;
};

#endif
