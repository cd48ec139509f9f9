#include "kry/zepkryutility.h"

#include <bit>
#include <memory>

#include "asn/asn_any.h"
#include "asn/asn_integer.h"
#include "asn/privatekeyinfo.h"
#include "asn/subjectpublickeyinfo.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepasncheck.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrydigestalgorithm.h"
#include "kry/zepkrykey.h"
#include "kry/zepmd5.h"
#include "kry/zepsha1.h"
#include "zeptrace.h"

namespace {

// RSAPublicKey ::= SEQUENCE { modulus INTEGER, publicExponent INTEGER }
// (PKCS#1).
class RSAPublicKey : public asn_sequence {
public:
    RSAPublicKey() {
        register_child(&modulus);
        register_child(&publicExponent);
    }

    asn_integer modulus;
    asn_integer publicExponent;
};

// RSAPrivateKey ::= SEQUENCE { version, modulus, publicExponent,
//     privateExponent, prime1, prime2, exponent1, exponent2, coefficient
//     (all INTEGER), otherPrimeInfos OPTIONAL }   (PKCS#1)
class RSAPrivateKey : public asn_sequence {
public:
    RSAPrivateKey() {
        for (asn_integer& component : components_) register_child(&component);
        otherPrimeInfos_.set_optional(true);
        register_child(&otherPrimeInfos_);
    }

    const asn_integer& modulus() const { return components_[1]; }

private:
    asn_integer components_[9];
    asn_any otherPrimeInfos_;
};

bool isRSA(const AlgorithmIdentifier& algorithm) {
    return algorithm.algorithm.is_equal(ZEPASNOID::VALUE_RSA, ZEPASNOID::VALUE_RSA_COUNT);
}

unsigned int bitLength(const asn_integer& modulus) {
    if (modulus.is_negative()) throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, "negative RSA modulus");
    ZEPBuffer magnitude;
    zep_asn_check(ZEP_HERE, modulus.get_unsigned(magnitude));
    if (magnitude.empty()) return 0;
    return static_cast<unsigned int>(8 * (magnitude.getLength() - 1)) +
           static_cast<unsigned int>(std::bit_width(magnitude.getValue()[0]));
}

unsigned int publicKeyBits(const ZEPBuffer& der) {
    SubjectPublicKeyInfo info;
    ZEPASNUtility::setDEREncoding(der, info);
    if (!isRSA(info.algorithm)) return 0;
    RSAPublicKey key;
    ZEPASNUtility::setDEREncoding(info.subjectPublicKey.value_view(), key);
    return bitLength(key.modulus);
}

unsigned int privateKeyBits(const ZEPBuffer& der) {
    PrivateKeyInfo info;
    ZEPASNUtility::setDEREncoding(der, info);
    if (!isRSA(info.privateKeyAlgorithm)) return 0;
    RSAPrivateKey key;
    ZEPASNUtility::setDEREncoding(info.privateKey.content_view(), key);
    return bitLength(key.modulus());
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

unsigned int ZEPKRYUtility::getKeySizeInBits(const ZEPKRYKey& key) {
    switch (key.getFormat()) {
        case ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO:
            return publicKeyBits(key.getKeyBlob());
        case ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO:
            return privateKeyBits(key.getKeyBlob());
        case ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD:
            return ZEPPKCS11ASNKeyRecord(key.getKeyBlob()).getKeySize();
        default:
            return 0;
    }
}
