#include "kry/zepkryutility.h"

#include <bit>
#include <memory>

#include "asn/asn_any.h"
#include "asn/asn_integer.h"
#include "asn/privatekeyinfo.h"
#include "asn/subjectpublickeyinfo.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "asn/zepeccurve.h"
#include "asn/zepecpublickey.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepasncheck.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrydigestalgorithm.h"
#include "kry/zepkrykey.h"
#include "kry/zepmd5.h"
#include "asn/rsaprivatekey.h"
#include "asn/rsapublickey.h"
#include "kry/zepsha1.h"
#include "kry/zepsha224.h"
#include "kry/zepsha384.h"
#include "zeptrace.h"

namespace {

// The bit length of the modulus of an RSA key, given the algorithm
// identifier and the key field (DER of an RSAKey) of its container; 0 for
// another algorithm.
template <typename RSAKey>
unsigned int modulusBits(const AlgorithmIdentifier& algorithm, const r_buffer_t& keyField) {
    if (!algorithm.algorithm.is_equal(ZEPASNOID::VALUE_RSA, ZEPASNOID::VALUE_RSA_COUNT)) return 0;
    RSAKey key;
    ZEPASNUtility::setDEREncoding(keyField, key);
    if (key.modulus.is_negative()) throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, "negative RSA modulus");
    ZEPBuffer magnitude;
    zep_asn_check(ZEP_HERE, key.modulus.get_unsigned(magnitude));
    if (magnitude.empty()) return 0;
    return static_cast<unsigned int>(8 * (magnitude.getLength() - 1)) +
           static_cast<unsigned int>(std::bit_width(magnitude.getValue()[0]));
}

// The digest by the algorithm a factory offered, else by the toolkit.
template <typename Digest>
ZEPBuffer digestBy(ZEPKRYDigestAlgorithm* offered, const ZEPBuffer& data) {
    std::unique_ptr<ZEPKRYDigestAlgorithm> algorithm(offered);
    return algorithm ? algorithm->digestData(data.get()) : Digest::digest(data);
}

}  // namespace

ZEPBuffer ZEPKRYUtility::digestData_SHA1(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory) {
    return digestBy<ZEPSHA1>(factory ? factory->make_SHA1_DigestAlgorithm() : nullptr, data);
}

ZEPBuffer ZEPKRYUtility::digestData_MD5(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory) {
    return digestBy<ZEPMD5>(factory ? factory->make_MD5_DigestAlgorithm() : nullptr, data);
}

ZEPBuffer ZEPKRYUtility::digestData_SHA224(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory) {
    return digestBy<ZEPSHA224>(factory ? factory->make_SHA224_DigestAlgorithm() : nullptr, data);
}

ZEPBuffer ZEPKRYUtility::digestData_SHA256(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory) {
    return digestBy<ZEPSHA256>(factory ? factory->make_SHA256_DigestAlgorithm() : nullptr, data);
}

ZEPBuffer ZEPKRYUtility::digestData_SHA384(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory) {
    return digestBy<ZEPSHA384>(factory ? factory->make_SHA384_DigestAlgorithm() : nullptr, data);
}

ZEPBuffer ZEPKRYUtility::digestData_SHA512(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory) {
    return digestBy<ZEPSHA512>(factory ? factory->make_SHA512_DigestAlgorithm() : nullptr, data);
}

unsigned int ZEPKRYUtility::getKeySizeInBits(const ZEPKRYKey& key) {
    switch (key.getFormat()) {
        case ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO: {
            SubjectPublicKeyInfo info;
            ZEPASNUtility::setDEREncoding(key.getKeyBlob(), info);
            if (ZEPECCurve::isKeyAlgorithm(info.algorithm))
                return ZEPECCurve::find(info.algorithm.parameters) ? ZEPECPublicKey(key.getKeyBlob()).getKeySize() : 0;
            return modulusBits<RSAPublicKey>(info.algorithm, info.subjectPublicKey.value_view());
        }
        case ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO: {
            PrivateKeyInfo info;
            ZEPASNUtility::setDEREncoding(key.getKeyBlob(), info);
            return modulusBits<RSAPrivateKey>(info.privateKeyAlgorithm, info.privateKey.content_view());
        }
        case ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD:
            return ZEPPKCS11ASNKeyRecord(key.getKeyBlob()).getKeySize();
        default:
            return 0;
    }
}
