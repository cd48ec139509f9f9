#include "asn/zepecpublickey.h"

#include <string>

#include "asn/asn_octetstring.h"
#include "asn/subjectpublickeyinfo.h"
#include "asn/zepasnutility.h"
#include "kry/zepasncheck.h"
#include "zepexception.h"
#include "zeptrace.h"

ZEPECPublicKey::ZEPECPublicKey(const ZEPBuffer& subjectPublicKeyInfo) {
    SubjectPublicKeyInfo info;
    ZEPASNUtility::setDEREncoding(subjectPublicKeyInfo, info);
    if (!ZEPECCurve::isKeyAlgorithm(info.algorithm))
        throw ZEPASNException(ZEP_HERE, ASN_UNSUPPORTED,
                              ZEPString("public key of algorithm " + info.algorithm.algorithm.to_string() +
                                        ", not an EC key"));
    curve_ = &ZEPECCurve::fromParameters(info.algorithm.parameters);
    point_ = curve_->pointOf(info.subjectPublicKey);
}

ZEPECPublicKey::ZEPECPublicKey(const ZEPECCurve& curve, const ZEPBuffer& point) : curve_(&curve), point_(point) {
    curve.checkPoint(point.get());
}

ZEPECPublicKey ZEPECPublicKey::fromToken(const ZEPBuffer& ecParams, const ZEPBuffer& ecPoint) {
    const ZEPECCurve& curve = ZEPECCurve::fromECParams(ecParams);
    // A DER OCTET STRING around a point is two bytes or more longer than
    // the point, so a value of exactly a point's length is a bare point.
    // Whatever is no OCTET STRING is taken as a bare point too, for the
    // point's check to tell what is wrong with it.
    asn_octetstring wrapped;
    if (ecPoint.getLength() != 1 + 2 * curve.getLength() && wrapped.read(ecPoint.get()) == ASN_OK)
        return ZEPECPublicKey(curve, ZEPBuffer(wrapped.content_view()));
    return ZEPECPublicKey(curve, ecPoint);
}

ZEPBuffer ZEPECPublicKey::getDER() const {
    SubjectPublicKeyInfo info;
    curve_->setKeyAlgorithm(info.algorithm);
    zep_asn_check(ZEP_HERE, info.subjectPublicKey.set_value(point_));
    return ZEPASNUtility::getDEREncoding(info);
}

ZEPBuffer ZEPECPublicKey::getECPoint() const {
    asn_octetstring octets;
    zep_asn_check(ZEP_HERE, octets.set_value(point_));
    return ZEPASNUtility::getDEREncoding(octets);
}
