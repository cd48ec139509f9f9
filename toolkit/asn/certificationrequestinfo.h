// CertificationRequestInfo ::= SEQUENCE { version INTEGER (v1 = 0),
//     subject Name, subjectPKInfo SubjectPublicKeyInfo,
//     attributes [0] IMPLICIT SET OF Attribute }   (PKCS#10)
#ifndef MERVIL_CERTIFICATIONREQUESTINFO_H
#define MERVIL_CERTIFICATIONREQUESTINFO_H

#include "asn/asn_attribute.h"
#include "asn/asn_integer.h"
#include "asn/asn_x500name.h"
#include "asn/subjectpublickeyinfo.h"

class CertificationRequestInfo : public asn_sequence {
public:
    explicit CertificationRequestInfo(int security = 0)
        : asn_sequence(security), version(security), subject(security), subjectPKInfo(security), attributes(security) {
        register_child(&version);
        register_child(&subject);
        register_child(&subjectPKInfo);
        register_child(&attributes);
    }
    ASN_COPYABLE(CertificationRequestInfo)

    asn_integer version;
    asn_x500name subject;
    SubjectPublicKeyInfo subjectPKInfo;
    asn_attributes attributes;
};

#endif
