#include "pkcs11krypublickeygenalgorithm.h"

#include <string>

#include "asn/zepeccurve.h"
#include "asn/zepecpublickey.h"
#include "attributetemplate.h"
#include "errorcodes.h"
#include "generatortrace.h"
#include "keystore/zepkeyitem.h"
#include "kry/zepkryutility.h"
#include "pkcs11client.h"
#include "slotmanager.h"
#include "slotmanagerutility.h"
#include "zeptrace.h"
#include "zeputility.h"

PKCS11KRYPublicKeyGenAlgorithm::PKCS11KRYPublicKeyGenAlgorithm(uint32_t kind, SlotManager* slotManager,
                                                               uint32_t keyBits)
    : kind_(kind), slot_(std::make_unique<SlotManager>(*slotManager)), keyBits_(keyBits) {
    ZEP_TRACE(GENERATOR_TRACE, "PKCS11KRYPublicKeyGenAlgorithm::ctor");
}

PKCS11KRYPublicKeyGenAlgorithm::PKCS11KRYPublicKeyGenAlgorithm(SlotManager* slotManager, const ZEPECCurve& curve)
    : kind_(EC), slot_(std::make_unique<SlotManager>(*slotManager)), keyBits_(curve.getFieldBits()), curve_(&curve) {
    ZEP_TRACE(GENERATOR_TRACE, "PKCS11KRYPublicKeyGenAlgorithm::ctor");
}

PKCS11KRYPublicKeyGenAlgorithm::~PKCS11KRYPublicKeyGenAlgorithm() {
    ZEP_TRACE(GENERATOR_TRACE, "PKCS11KRYPublicKeyGenAlgorithm::dtor");
}

bool PKCS11KRYPublicKeyGenAlgorithm::isKindOf(const ZEPString& className) const {
    return className.compare(getClassName()) == 0 || ZEPKRYPublicKeyGenAlgorithm::isKindOf(className);
}

ZEPString PKCS11KRYPublicKeyGenAlgorithm::getInstanceName() const { return getClassName(); }

ZEPKRYKeyPair PKCS11KRYPublicKeyGenAlgorithm::generateKeyPair() {
    ZEP_TRACE(GENERATOR_TRACE, "PKCS11KRYPublicKeyGenAlgorithm::generateKeyPair");
    if (kind_ != RSA && kind_ != EC)
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_SUPPORTED, "Algorithm is not supported");
    AttributeTemplate publicTemplate, privateTemplate;
    if (kind_ == RSA) {
        static constexpr unsigned char exponent65537[] = {0x01, 0x00, 0x01};
        publicTemplate.setAttribute(CKA_PUBLIC_EXPONENT, exponent65537, sizeof exponent65537);
        publicTemplate.setULong(CKA_MODULUS_BITS, keyBits_);
    } else {
        publicTemplate.setAttribute(CKA_EC_PARAMS, curve_->getECParams());
    }
    publicTemplate.setBool(CKA_TOKEN, true);
    // CKA_ENCRYPT and CKA_DECRYPT are for RSA keys: EC keys only sign.
    if (kind_ == RSA) publicTemplate.setBool(CKA_ENCRYPT, false);
    publicTemplate.setBool(CKA_VERIFY, false);
    for (CK_ATTRIBUTE_TYPE type : {CKA_TOKEN, CKA_PRIVATE, CKA_SENSITIVE, CKA_DECRYPT, CKA_SIGN})
        if (kind_ == RSA || type != CKA_DECRYPT) privateTemplate.setBool(type, true);
    CK_OBJECT_HANDLE publicKey = 0, privateKey = 0;
    slot_->getClient()->generateKeyPair(slot_->getSessionHandle(),
                                        kind_ == RSA ? CKM_RSA_PKCS_KEY_PAIR_GEN : CKM_EC_KEY_PAIR_GEN,
                                        publicTemplate, privateTemplate, publicKey, privateKey);
    label(publicKey, privateKey);
    // The public object is read before the private one: the order of a
    // constructor's arguments is left to the compiler.
    const ZEPKRYKey publicHalf = keyOf(publicKey);
    const ZEPKRYKey privateHalf = keyOf(privateKey);
    return ZEPKRYKeyPair(publicHalf, privateHalf);
}

ZEPBuffer PKCS11KRYPublicKeyGenAlgorithm::keyIdOf(CK_OBJECT_HANDLE publicKey) {
    const CK_ATTRIBUTE_TYPE type = kind_ == RSA ? CKA_MODULUS : CKA_EC_POINT;
    AttributeTemplate request, values;
    request.addAttribute(type);
    slot_->getClient()->getAttributeValue(slot_->getSessionHandle(), publicKey, request, values);
    ZEPBuffer value;
    if (!values.getAttribute(type, value))
        ZEP_TRACE_INFO(MODULE_TRACE, kind_ == RSA ? "CKA_MODULUS missing on Key Object"
                                                  : "CKA_EC_POINT missing on Key Object");
    // The modulus as the token gave it: tokens give it without leading zero
    // bytes, so this is the identifier the key's certificates get as well.
    if (kind_ == RSA) return ZEPKRYUtility::digestData_SHA1(value, nullptr);
    return ZEPKRYUtility::digestData_SHA1(ZEPECPublicKey::fromToken(curve_->getECParams(), value).getPoint(), nullptr);
}

void PKCS11KRYPublicKeyGenAlgorithm::label(CK_OBJECT_HANDLE publicKey, CK_OBJECT_HANDLE privateKey) {
    PKCS11Client& client = *slot_->getClient();
    const ZEPBuffer id = keyIdOf(publicKey);
    const std::string label = ZEPUtility::binaryToHexString(id).str();
    AttributeTemplate names;
    names.setAttribute(CKA_ID, id);
    names.setAttribute(CKA_LABEL, label.data(), label.size());
    client.setAttributeValue(slot_->getSessionHandle(), publicKey, names);
    client.setAttributeValue(slot_->getSessionHandle(), privateKey, names);
}

ZEPKRYKey PKCS11KRYPublicKeyGenAlgorithm::keyOf(CK_OBJECT_HANDLE object) {
    std::unique_ptr<ZEPKeyItem> item(SlotManagerUtility::makeKeyItem(*slot_, object));
    return item->getKey();
}
