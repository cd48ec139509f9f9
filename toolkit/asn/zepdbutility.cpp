#include "asn/zepdbutility.h"

#include "zepexception.h"
#include "zeptrace.h"

namespace {

template <typename T>
const T& downcast(const asn_object& object, const char* typeName) {
    const T* result = dynamic_cast<const T*>(&object);
    if (!result) throw ZEPASNException(ZEP_HERE, ASN_BAD_ARGUMENT, ZEPString("object is not a ") + typeName);
    return *result;
}

}  // namespace

const asn_bitstring& ZEPDBUtility::downcastBitString(const asn_object& object) {
    return downcast<asn_bitstring>(object, "BIT STRING");
}

const IssuerAndSerialNumber& ZEPDBUtility::downcastIssuerAndSerialNumber(const asn_object& object) {
    return downcast<IssuerAndSerialNumber>(object, "IssuerAndSerialNumber");
}

const TBSCertificate& ZEPDBUtility::downcastTBSCertificate(const asn_object& object) {
    return downcast<TBSCertificate>(object, "TBSCertificate");
}

const asn_x500name& ZEPDBUtility::downcastX500name(const asn_object& object) {
    return downcast<asn_x500name>(object, "Name");
}

const SubjectPublicKeyInfo& ZEPDBUtility::downcastSubjectPublicKeyInfo(const asn_object& object) {
    return downcast<SubjectPublicKeyInfo>(object, "SubjectPublicKeyInfo");
}
