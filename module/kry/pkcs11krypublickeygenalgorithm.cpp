#include "pkcs11krypublickeygenalgorithm.h"

#include <string>

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

PKCS11KRYPublicKeyGenAlgorithm::~PKCS11KRYPublicKeyGenAlgorithm() {
    ZEP_TRACE(GENERATOR_TRACE, "PKCS11KRYPublicKeyGenAlgorithm::dtor");
}

bool PKCS11KRYPublicKeyGenAlgorithm::isKindOf(const ZEPString& className) const {
    return className.compare(getClassName()) == 0 || ZEPKRYPublicKeyGenAlgorithm::isKindOf(className);
}

ZEPString PKCS11KRYPublicKeyGenAlgorithm::getInstanceName() const { return getClassName(); }

ZEPKRYKeyPair PKCS11KRYPublicKeyGenAlgorithm::generateKeyPair() {
    ZEP_TRACE(GENERATOR_TRACE, "PKCS11KRYPublicKeyGenAlgorithm::generateKeyPair");
    if (kind_ != RSA) throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_SUPPORTED, "Algorithm is not supported");
    static constexpr unsigned char exponent65537[] = {0x01, 0x00, 0x01};
    AttributeTemplate publicTemplate, privateTemplate;
    publicTemplate.setAttribute(CKA_PUBLIC_EXPONENT, exponent65537, sizeof exponent65537);
    publicTemplate.setULong(CKA_MODULUS_BITS, keyBits_);
    publicTemplate.setBool(CKA_TOKEN, true);
    publicTemplate.setBool(CKA_ENCRYPT, false);
    publicTemplate.setBool(CKA_VERIFY, false);
    for (CK_ATTRIBUTE_TYPE type : {CKA_TOKEN, CKA_PRIVATE, CKA_SENSITIVE, CKA_DECRYPT, CKA_SIGN})
        privateTemplate.setBool(type, true);
    CK_OBJECT_HANDLE publicKey = 0, privateKey = 0;
    slot_->getClient()->generateKeyPair(slot_->getSessionHandle(), CKM_RSA_PKCS_KEY_PAIR_GEN, publicTemplate,
                                        privateTemplate, publicKey, privateKey);
    label(publicKey, privateKey);
    // The public object is read before the private one: the order of a
    // constructor's arguments is left to the compiler.
    const ZEPKRYKey publicHalf = keyOf(publicKey);
    const ZEPKRYKey privateHalf = keyOf(privateKey);
    return ZEPKRYKeyPair(publicHalf, privateHalf);
}

void PKCS11KRYPublicKeyGenAlgorithm::label(CK_OBJECT_HANDLE publicKey, CK_OBJECT_HANDLE privateKey) {
    PKCS11Client& client = *slot_->getClient();
    AttributeTemplate request, values;
    request.addAttribute(CKA_MODULUS);
    client.getAttributeValue(slot_->getSessionHandle(), publicKey, request, values);
    ZEPBuffer modulus;
    if (!values.getAttribute(CKA_MODULUS, modulus)) ZEP_TRACE_INFO(MODULE_TRACE, "CKA_MODULUS missing on Key Object");
    // The modulus as the token gave it: tokens give it without leading zero
    // bytes, so this is the identifier the key's certificates get as well.
    const ZEPBuffer id = ZEPKRYUtility::digestData_SHA1(modulus, nullptr);
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
