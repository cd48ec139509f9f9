#include "asn/zepasnutility.h"

#include "zepexception.h"
#include "zeptrace.h"

ZEPBuffer ZEPASNUtility::getDEREncoding(const asn_object& object) {
    buffer_t der;
    int rc = object.write(der);
    if (rc != ASN_OK) throw ZEPASNException(ZEP_HERE, rc, asn_error_text(rc));
    return der.to_buffer();
}

void ZEPASNUtility::setDEREncoding(const ZEPBuffer& der, asn_object& object) { setDEREncoding(der.get(), object); }

void ZEPASNUtility::setDEREncoding(const r_buffer_t& der, asn_object& object) {
    int rc = object.read(der);
    if (rc != ASN_OK) throw ZEPASNException(ZEP_HERE, rc, asn_error_text(rc));
}

IssuerAndSerialNumber ZEPASNUtility::getIssuerAndSerialNumber(const asn_x500name& issuer,
                                                              const asn_integer& serialNumber) {
    IssuerAndSerialNumber result;
    int rc = result.issuer.assign(issuer);
    if (rc == ASN_OK) rc = result.serialNumber.assign(serialNumber);
    if (rc != ASN_OK) throw ZEPASNException(ZEP_HERE, rc, asn_error_text(rc));
    return result;
}
