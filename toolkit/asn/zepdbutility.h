// Views of a generic ASN.1 object as the concrete type a key-database
// criterion must have; each throws ZEPASNException (ASN_BAD_ARGUMENT) when
// the object is of another type.
#ifndef MERVIL_ZEPDBUTILITY_H
#define MERVIL_ZEPDBUTILITY_H

#include "asn/asn_bitstring.h"
#include "asn/asn_x500name.h"
#include "asn/issuerandserialnumber.h"
#include "asn/subjectpublickeyinfo.h"
#include "asn/tbscertificate.h"

class ZEPDBUtility {
public:
    static const asn_bitstring& downcastBitString(const asn_object& object);
    static const IssuerAndSerialNumber& downcastIssuerAndSerialNumber(const asn_object& object);
    static const TBSCertificate& downcastTBSCertificate(const asn_object& object);
    static const asn_x500name& downcastX500name(const asn_object& object);
    static const SubjectPublicKeyInfo& downcastSubjectPublicKeyInfo(const asn_object& object);
};

#endif
