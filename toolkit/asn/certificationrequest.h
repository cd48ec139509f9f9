// CertificationRequest ::= SEQUENCE { certificationRequestInfo
//     CertificationRequestInfo, signatureAlgorithm AlgorithmIdentifier,
//     signature BIT STRING }   (PKCS#10)
#ifndef MERVIL_CERTIFICATIONREQUEST_H
#define MERVIL_CERTIFICATIONREQUEST_H

#include "asn/certificationrequestinfo.h"

class CertificationRequest : public asn_sequence {
public:
    explicit CertificationRequest(int security = 0)
        : asn_sequence(security), certificationRequestInfo(security), signatureAlgorithm(security), signature(security) {
        register_child(&certificationRequestInfo);
        register_child(&signatureAlgorithm);
        register_child(&signature);
    }
    ASN_COPYABLE(CertificationRequest)

    CertificationRequestInfo certificationRequestInfo;
    AlgorithmIdentifier signatureAlgorithm;
    asn_bitstring signature;
};

#endif
