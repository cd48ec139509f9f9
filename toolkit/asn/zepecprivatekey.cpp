#include "asn/zepecprivatekey.h"

#include <string>

#include "asn/ecprivatekey.h"
#include "asn/privatekeyinfo.h"
#include "asn/zepasnutility.h"
#include "kry/zepasncheck.h"
#include "zepexception.h"
#include "zeptrace.h"

namespace {

// The one version of each container that the toolkit reads and writes.
constexpr long privateKeyInfoVersion = 0;
constexpr long ecPrivateKeyVersion = 1;

void checkVersion(const asn_integer& version, long expected, const char* container) {
    long value = 0;
    if (version.get_value(value) != ASN_OK || value != expected)
        throw ZEPASNException(ZEP_HERE, ASN_UNSUPPORTED,
                              ZEPString(container) + " of another version than " + std::to_string(expected).c_str());
}

// The curve that the PKCS#8 AlgorithmIdentifier (`outer`, null for a bare
// ECPrivateKey) or the ECPrivateKey names.
const ZEPECCurve& curveOf(const asn_any* outer, const asn_any& inner) {
    if (!outer || !outer->is_present()) return ZEPECCurve::fromParameters(inner);
    const ZEPECCurve& curve = ZEPECCurve::fromParameters(*outer);
    if (inner.is_present() && &ZEPECCurve::fromParameters(inner) != &curve)
        throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE,
                              ZEPString("EC private key whose PKCS#8 algorithm names the curve ") + curve.getName() +
                                  " and whose ECPrivateKey another");
    return curve;
}

}  // namespace

ZEPECPrivateKey::ZEPECPrivateKey(const ECPrivateKey& key, const asn_any* outerParameters)
    : curve_(&curveOf(outerParameters, key.parameters)) {
    checkVersion(key.version, ecPrivateKeyVersion, "ECPrivateKey");
    value_ = curve_->privateScalar(key.privateKey.content_view());
    if (key.publicKey.is_present()) publicPoint_ = curve_->pointOf(key.publicKey);
}

ZEPECPrivateKey ZEPECPrivateKey::fromPrivateKeyInfo(const ZEPBuffer& der) {
    PrivateKeyInfo info;
    ZEPASNUtility::setDEREncoding(der, info);
    checkVersion(info.version, privateKeyInfoVersion, "PKCS#8 private key");
    if (!ZEPECCurve::isKeyAlgorithm(info.privateKeyAlgorithm))
        throw ZEPASNException(ZEP_HERE, ASN_UNSUPPORTED,
                              ZEPString("private key of algorithm " +
                                        info.privateKeyAlgorithm.algorithm.to_string() + ", not an EC key"));
    ECPrivateKey key;
    ZEPASNUtility::setDEREncoding(info.privateKey.content_view(), key);
    return ZEPECPrivateKey(key, &info.privateKeyAlgorithm.parameters);
}

ZEPECPrivateKey ZEPECPrivateKey::fromECPrivateKey(const ZEPBuffer& der) {
    ECPrivateKey key;
    ZEPASNUtility::setDEREncoding(der, key);
    return ZEPECPrivateKey(key, nullptr);
}

ZEPBuffer ZEPECPrivateKey::getDER() const {
    ECPrivateKey key;
    zep_asn_check(ZEP_HERE, key.version.set_value(ecPrivateKeyVersion));
    zep_asn_check(ZEP_HERE, key.privateKey.set_value(value_));
    if (!publicPoint_.empty()) zep_asn_check(ZEP_HERE, key.publicKey.set_value(publicPoint_));
    PrivateKeyInfo info;
    zep_asn_check(ZEP_HERE, info.version.set_value(privateKeyInfoVersion));
    curve_->setKeyAlgorithm(info.privateKeyAlgorithm);
    zep_asn_check(ZEP_HERE, info.privateKey.set_value(ZEPASNUtility::getDEREncoding(key)));
    return ZEPASNUtility::getDEREncoding(info);
}
