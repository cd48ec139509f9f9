// Certificate ::= SEQUENCE { tbsCertificate TBSCertificate,
//     signatureAlgorithm AlgorithmIdentifier, signature BIT STRING }
#ifndef MERVIL_X509_CERTIFICATE_H
#define MERVIL_X509_CERTIFICATE_H

#include "asn/tbscertificate.h"

class x509_certificate : public asn_sequence {
public:
    explicit x509_certificate(int security = 0)
        : asn_sequence(security), tbsCertificate(security), signatureAlgorithm(security), signature(security) {
        register_child(&tbsCertificate);
        register_child(&signatureAlgorithm);
        register_child(&signature);
    }
    ASN_COPYABLE(x509_certificate)

    const TBSCertificate& get_tbs_certificate() const { return tbsCertificate; }
    const asn_x500name& get_issuer() const { return tbsCertificate.issuer; }
    const asn_x500name& get_subject() const { return tbsCertificate.subject; }
    const asn_integer& get_serial_number() const { return tbsCertificate.serialNumber; }
    const Validity& get_validity() const { return tbsCertificate.validity; }
    const SubjectPublicKeyInfo& get_subject_public_key_info() const { return tbsCertificate.subjectPublicKeyInfo; }
    const AlgorithmIdentifier& get_signature_algorithm() const { return signatureAlgorithm; }
    const asn_bitstring& get_signature() const { return signature; }

    TBSCertificate tbsCertificate;
    AlgorithmIdentifier signatureAlgorithm;
    asn_bitstring signature;
};

#endif
