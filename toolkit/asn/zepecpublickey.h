// An EC public key: its curve and its point, uncompressed (04, X, Y), read
// from and written as an X.509 SubjectPublicKeyInfo (id-ecPublicKey with a
// namedCurve, RFC 5480) or as the attributes of a PKCS#11 key object
// (CKA_EC_PARAMS, CKA_EC_POINT). Another algorithm or curve, explicit curve
// parameters and compressed or malformed points are refused with
// ZEPASNException.
#ifndef MERVIL_ZEPECPUBLICKEY_H
#define MERVIL_ZEPECPUBLICKEY_H

#include "asn/zepeccurve.h"
#include "zepbuffer.h"

class ZEPECPublicKey {
public:
    // Decodes the DER of a SubjectPublicKeyInfo.
    explicit ZEPECPublicKey(const ZEPBuffer& subjectPublicKeyInfo);
    ZEPECPublicKey(const ZEPECCurve& curve, const ZEPBuffer& point);
    // From a key object's CKA_EC_PARAMS and CKA_EC_POINT. The point may
    // come as a DER OCTET STRING, as PKCS#11 prescribes, or bare, as some
    // tokens give it.
    static ZEPECPublicKey fromToken(const ZEPBuffer& ecParams, const ZEPBuffer& ecPoint);

    const ZEPECCurve& getCurve() const { return *curve_; }
    const ZEPBuffer& getPoint() const { return point_; }
    unsigned int getKeySize() const { return curve_->getFieldBits(); }

    // The DER of the SubjectPublicKeyInfo.
    ZEPBuffer getDER() const;
    // CKA_EC_POINT as PKCS#11 prescribes it: the DER OCTET STRING around
    // the point.
    ZEPBuffer getECPoint() const;

private:
    const ZEPECCurve* curve_;
    ZEPBuffer point_;
};

#endif
