#include "asn/tbscertificate.h"

TBSCertificate::TBSCertificate(int security)
    : asn_sequence(security), version(security), serialNumber(security), signature(security), issuer(security),
      validity(security), subject(security), subjectPublicKeyInfo(security), issuerUniqueID(security),
      subjectUniqueID(security), extensions(security) {
    version.set_explicit_tag(0);
    version.set_optional(true);
    issuerUniqueID.set_class(CLASS_CONTEXT);
    issuerUniqueID.set_tag(1);
    issuerUniqueID.set_optional(true);
    subjectUniqueID.set_class(CLASS_CONTEXT);
    subjectUniqueID.set_tag(2);
    subjectUniqueID.set_optional(true);
    extensions.set_explicit_tag(3);
    extensions.set_optional(true);
    for (asn_object* child : std::initializer_list<asn_object*>{&version, &serialNumber, &signature, &issuer, &validity,
                                                                &subject, &subjectPublicKeyInfo, &issuerUniqueID,
                                                                &subjectUniqueID, &extensions})
        register_child(child);
}

long TBSCertificate::get_version() const {
    long value = 0;
    if (version.is_present()) version.get_value(value);
    return value;
}
