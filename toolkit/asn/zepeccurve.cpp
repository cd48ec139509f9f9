#include "asn/zepeccurve.h"

#include <algorithm>
#include <string>

#include "asn/asn_oid.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "kry/zepasncheck.h"
#include "zepexception.h"
#include "zeptrace.h"

namespace {

// The group orders, as openssl's "ecparam -param_enc explicit -text" gives them.
constexpr unsigned char p256Order[32] = {
    0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
    0xbc, 0xe6, 0xfa, 0xad, 0xa7, 0x17, 0x9e, 0x84, 0xf3, 0xb9, 0xca, 0xc2, 0xfc, 0x63, 0x25, 0x51};
constexpr unsigned char p384Order[48] = {
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xc7, 0x63, 0x4d, 0x81, 0xf4, 0x37, 0x2d, 0xdf,
    0x58, 0x1a, 0x0d, 0xb2, 0x48, 0xb0, 0xa7, 0x7a, 0xec, 0xec, 0x19, 0x6a, 0xcc, 0xc5, 0x29, 0x73};
constexpr unsigned char p521Order[66] = {
    0x01, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
    0xff, 0xfa, 0x51, 0x86, 0x87, 0x83, 0xbf, 0x2f, 0x96, 0x6b, 0x7f, 0xcc, 0x01, 0x48, 0xf7, 0x09,
    0xa5, 0xd0, 0x3b, 0xb5, 0xc9, 0xb8, 0x89, 0x9c, 0x47, 0xae, 0xbb, 0x6f, 0xb7, 0x1e, 0x91, 0x38,
    0x64, 0x09};

constexpr unsigned char uncompressedPoint = 0x04;
constexpr unsigned long sequenceTag = 16;

const ZEPECCurve* const curves[] = {&ZEPECCurve::P256, &ZEPECCurve::P384, &ZEPECCurve::P521};

const ZEPECCurve* findByOid(const asn_oid& oid) {
    for (const ZEPECCurve* curve : curves)
        if (oid.is_equal(curve->getOid(), curve->getOidCount())) return curve;
    return nullptr;
}

}  // namespace

constinit const ZEPECCurve ZEPECCurve::P256("prime256v1", "P-256", 256, ZEPASNOID::VALUE_Prime256v1,
                                            ZEPASNOID::VALUE_Prime256v1_COUNT, p256Order);
constinit const ZEPECCurve ZEPECCurve::P384("secp384r1", "P-384", 384, ZEPASNOID::VALUE_Secp384r1,
                                            ZEPASNOID::VALUE_Secp384r1_COUNT, p384Order);
constinit const ZEPECCurve ZEPECCurve::P521("secp521r1", "P-521", 521, ZEPASNOID::VALUE_Secp521r1,
                                            ZEPASNOID::VALUE_Secp521r1_COUNT, p521Order);

const ZEPECCurve* ZEPECCurve::find(std::string_view name) {
    for (const ZEPECCurve* curve : curves)
        if (name == curve->name_ || name == curve->nistName_) return curve;
    return nullptr;
}

const ZEPECCurve* ZEPECCurve::find(const asn_any& parameters) {
    asn_oid oid;
    return parameters.get_value(oid) == ASN_OK ? findByOid(oid) : nullptr;
}

const ZEPECCurve& ZEPECCurve::fromParameters(const asn_any& parameters) {
    if (const ZEPECCurve* curve = find(parameters)) return *curve;
    if (parameters.der().empty()) throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, "EC key without curve parameters");
    if (parameters.get_class() == asn_object::CLASS_UNIVERSAL && parameters.get_tag() == sequenceTag)
        throw ZEPASNException(ZEP_HERE, ASN_UNSUPPORTED,
                              "EC key with explicit curve parameters; only named curves are supported");
    asn_oid oid;
    if (parameters.get_value(oid) != ASN_OK)
        throw ZEPASNException(ZEP_HERE, ASN_UNSUPPORTED, "EC key whose curve parameters name no curve");
    throw ZEPASNException(ZEP_HERE, ASN_UNSUPPORTED,
                          ZEPString("EC curve " + oid.to_string() +
                                    " is not supported (prime256v1, secp384r1 and secp521r1 are)"));
}

const ZEPECCurve& ZEPECCurve::fromECParams(const ZEPBuffer& der) {
    asn_any parameters;
    ZEPASNUtility::setDEREncoding(der, parameters);
    return fromParameters(parameters);
}

bool ZEPECCurve::isKeyAlgorithm(const AlgorithmIdentifier& algorithm) {
    return algorithm.algorithm.is_equal(ZEPASNOID::VALUE_ECPublicKey, ZEPASNOID::VALUE_ECPublicKey_COUNT);
}

void ZEPECCurve::setKeyAlgorithm(AlgorithmIdentifier& algorithm) const {
    zep_asn_check(ZEP_HERE, algorithm.algorithm.set_value(ZEPASNOID::VALUE_ECPublicKey,
                                                           ZEPASNOID::VALUE_ECPublicKey_COUNT));
    ZEPASNUtility::setDEREncoding(getECParams(), algorithm.parameters);
}

ZEPBuffer ZEPECCurve::getECParams() const {
    asn_oid oid;
    zep_asn_check(ZEP_HERE, oid.set_value(oid_, oidCount_));
    return ZEPASNUtility::getDEREncoding(oid);
}

void ZEPECCurve::checkPoint(const r_buffer_t& point) const {
    if (point.len == 0) throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, "empty EC point");
    if (point.data[0] == 0x02 || point.data[0] == 0x03)
        throw ZEPASNException(ZEP_HERE, ASN_UNSUPPORTED, "compressed EC point; only uncompressed points are supported");
    if (point.data[0] != uncompressedPoint)
        throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, "EC point without the uncompressed form's 04 prefix");
    if (point.len != 1 + 2 * getLength())
        throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE,
                              ZEPString("EC point of " + std::to_string(point.len) + " bytes; " + name_ + " takes " +
                                        std::to_string(1 + 2 * getLength())));
}

ZEPBuffer ZEPECCurve::pointOf(const asn_bitstring& bits) const {
    if (bits.get_bit_length() % 8 != 0)
        throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, "EC point in a bit string with unused bits");
    checkPoint(bits.value_view());
    return ZEPBuffer(bits.value_view());
}

ZEPBuffer ZEPECCurve::privateScalar(const r_buffer_t& octets) const {
    const size_t length = getLength();
    size_t skip = 0;
    while (skip < octets.len && octets.data[skip] == 0) ++skip;
    const size_t significant = octets.len - skip;
    if (significant == 0) throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, "EC private key of value 0");
    if (significant > length)
        throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, ZEPString("EC private key longer than the curve ") + name_);
    ZEPBuffer scalar(length - significant, nullptr);
    scalar.append(significant, octets.data + skip);
    if (!std::lexicographical_compare(scalar.getValue(), scalar.getValue() + length, order_, order_ + length))
        throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE,
                              ZEPString("EC private key not below the group order of ") + name_);
    return scalar;
}
