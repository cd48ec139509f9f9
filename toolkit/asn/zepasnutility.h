// DER conversions that throw ZEPASNException instead of returning codes.
#ifndef MERVIL_ZEPASNUTILITY_H
#define MERVIL_ZEPASNUTILITY_H

#include "asn/issuerandserialnumber.h"
#include "zepbuffer.h"

class ZEPASNUtility {
public:
    // The DER encoding of `object`; throws when it cannot be encoded.
    static ZEPBuffer getDEREncoding(const asn_object& object);
    // Decodes `der` into `object`; throws on anything but one whole, valid
    // DER element of the object's type.
    static void setDEREncoding(const ZEPBuffer& der, asn_object& object);
    static void setDEREncoding(const r_buffer_t& der, asn_object& object);
    static IssuerAndSerialNumber getIssuerAndSerialNumber(const asn_x500name& issuer, const asn_integer& serialNumber);
};

#endif
