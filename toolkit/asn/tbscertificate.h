// TBSCertificate ::= SEQUENCE { version [0] EXPLICIT Version DEFAULT v1,
//     serialNumber INTEGER, signature AlgorithmIdentifier, issuer Name,
//     validity Validity, subject Name, subjectPublicKeyInfo
//     SubjectPublicKeyInfo, issuerUniqueID [1] IMPLICIT BIT STRING OPTIONAL,
//     subjectUniqueID [2] IMPLICIT BIT STRING OPTIONAL,
//     extensions [3] EXPLICIT Extensions OPTIONAL }
// Extensions are kept as their DER; a v1 certificate has no version field.
#ifndef MERVIL_TBSCERTIFICATE_H
#define MERVIL_TBSCERTIFICATE_H

#include "asn/algorithmidentifier.h"
#include "asn/asn_bitstring.h"
#include "asn/asn_integer.h"
#include "asn/asn_x500name.h"
#include "asn/subjectpublickeyinfo.h"
#include "asn/validity.h"

class TBSCertificate : public asn_sequence {
public:
    explicit TBSCertificate(int security = 0);
    ASN_COPYABLE(TBSCertificate)

    // 0 for v1 (version absent), 2 for v3.
    long get_version() const;

    asn_integer version;
    asn_integer serialNumber;
    AlgorithmIdentifier signature;
    asn_x500name issuer;
    Validity validity;
    asn_x500name subject;
    SubjectPublicKeyInfo subjectPublicKeyInfo;
    asn_bitstring issuerUniqueID;
    asn_bitstring subjectUniqueID;
    asn_any extensions;
};

#endif
