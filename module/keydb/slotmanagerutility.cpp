#include "slotmanagerutility.h"

#include <memory>
#include <vector>

#include "asn/asn_string.h"
#include "asn/certificationrequest.h"
#include "asn/issuerandserialnumber.h"
#include "asn/privatekeyinfo.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "asn/zepdbutility.h"
#include "asn/zepeccurve.h"
#include "asn/zepecprivatekey.h"
#include "asn/zepecpublickey.h"
#include "attributetemplate.h"
#include "errorcodes.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepasncheck.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrykey.h"
#include "kry/zepkryutility.h"
#include "pkcs11client.h"
#include "keyrecordfinder.h"
#include "objectreader.h"
#include "slotmanager.h"
#include "tokenlabel.h"
#include "zepsubjectpublickeyinfo.h"
#include "zeptrace.h"

namespace {

// Reads the attributes `types` of an object in one call.
AttributeTemplate readAttributes(SlotManager& slot, CK_OBJECT_HANDLE object,
                                 std::initializer_list<CK_ATTRIBUTE_TYPE> types) {
    AttributeTemplate request, result;
    for (CK_ATTRIBUTE_TYPE type : types) request.addAttribute(type);
    slot.getClient()->getAttributeValue(slot.getSessionHandle(), object, request, result);
    return result;
}

// The attribute's value; an attribute the token did not return is empty.
ZEPBuffer valueOf(const AttributeTemplate& attributes, CK_ATTRIBUTE_TYPE type) {
    ZEPBuffer value;
    attributes.getAttribute(type, value);
    return value;
}

// The attribute's value; a missing one is reported in the trace and gives
// `fallback`.
ZEPBuffer valueOrReport(const AttributeTemplate& attributes, CK_ATTRIBUTE_TYPE type, const char* missingText,
                        const ZEPBuffer& fallback = ZEPBuffer()) {
    ZEPBuffer value;
    if (attributes.getAttribute(type, value)) return value;
    ZEP_TRACE_INFO(MODULE_TRACE, missingText);
    return fallback;
}

bool passes(MatchType match, const AttributeTemplate& object, const ZEPBuffer& value) {
    switch (match) {
        case MATCH_VALUE: return valueOf(object, CKA_VALUE) == value;
        case MATCH_ID: return valueOf(object, CKA_ID) == value;
        case MATCH_LABEL: return SlotManagerUtility::compareLabel(value, valueOf(object, CKA_LABEL));
        case MATCH_SUBJECT_NAME: return valueOf(object, CKA_SUBJECT) == value;
        case MATCH_KEY_RECORD: {
            ZEPPKCS11ASNKeyRecord record(value);
            return valueOf(object, CKA_ID) == record.getObjectId() &&
                   valueOf(object, CKA_SUBJECT) == record.getSubjectName();
        }
        default: return false;
    }
}

std::initializer_list<CK_ATTRIBUTE_TYPE> attributesToTest(MatchType match) {
    static const std::initializer_list<CK_ATTRIBUTE_TYPE> id = {CKA_ID}, label = {CKA_LABEL}, value = {CKA_VALUE},
                                                          subject = {CKA_SUBJECT},
                                                          keyRecord = {CKA_SUBJECT, CKA_ID}, none = {};
    switch (match) {
        case MATCH_ID: return id;
        case MATCH_LABEL: return label;
        case MATCH_VALUE: return value;
        case MATCH_SUBJECT_NAME: return subject;
        case MATCH_KEY_RECORD: return keyRecord;
        default: return none;
    }
}

x509_certificate decodeCertificate(const ZEPBuffer& der) {
    x509_certificate certificate;
    ZEPASNUtility::setDEREncoding(der, certificate);
    return certificate;
}

}  // namespace

bool SlotManagerUtility::findAllItems(SlotManager& slot, CK_OBJECT_CLASS objectClass,
                                      std::vector<CK_OBJECT_HANDLE>& handles, MatchType match,
                                      const ZEPBuffer& value) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::findAllItems()");
    AttributeTemplate search;
    search.setULong(CKA_CLASS, objectClass);
    if (objectClass == CKO_PRIVATE_KEY) search.setBool(CKA_PRIVATE, true);
    if (!value.empty()) {
        if (match == MATCH_ID) search.setAttribute(CKA_ID, value);
        if (match == MATCH_SUBJECT_NAME) search.setAttribute(CKA_SUBJECT, value);
    }
    slot.getClient()->findObjects(slot.getSessionHandle(), search, handles);
    return !handles.empty();
}

bool SlotManagerUtility::findItem(SlotManager& slot, CK_OBJECT_CLASS objectClass, MatchType match,
                                  const ZEPBuffer& value, CK_OBJECT_HANDLE& handle) {
    return findItem(slot, objectClass, match, value, handle, [](CK_OBJECT_HANDLE) { return true; });
}

bool SlotManagerUtility::findItem(SlotManager& slot, CK_OBJECT_CLASS objectClass, MatchType match,
                                  const ZEPBuffer& value, CK_OBJECT_HANDLE& handle,
                                  const std::function<bool(CK_OBJECT_HANDLE)>& accept) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::findItem()");
    handle = 0;
    std::vector<CK_OBJECT_HANDLE> candidates;
    findAllItems(slot, objectClass, candidates, match, value);
    for (CK_OBJECT_HANDLE candidate : candidates) {
        AttributeTemplate attributes;
        try {
            attributes = readAttributes(slot, candidate, attributesToTest(match));
        } catch (const ZEPPKCS11Exception& e) {
            // Destroyed since the search, by another thread or session: no match.
            if (e.getReturnValue() != CKR_OBJECT_HANDLE_INVALID) throw;
            continue;
        }
        if (passes(match, attributes, value) && accept(candidate)) {
            handle = candidate;
            return true;
        }
    }
    return false;
}

bool SlotManagerUtility::getCert(SlotManager& slot, CK_OBJECT_HANDLE handle, MatchType match,
                                 const asn_object& criterion, ZEPBuffer& certificateDER, ZEPBuffer& label,
                                 ZEPBuffer& id) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::getCert()");
    // The class lets the read be kept with the certificate's CKA_VALUE.
    AttributeTemplate object = ObjectReader::read(slot, handle, {CKA_CLASS, CKA_LABEL, CKA_VALUE, CKA_ID});
    ZEPBuffer objectLabel, value, objectId;
    if (!object.getAttribute(CKA_LABEL, objectLabel)) {
        ZEP_TRACE_INFO(MODULE_TRACE, "CKA_LABEL missing on Cert Object");
        return false;
    }
    if (!object.getAttribute(CKA_VALUE, value)) {
        ZEP_TRACE_INFO(MODULE_TRACE, "CKA_VALUE missing on Cert Object");
        return false;
    }
    if (!object.getAttribute(CKA_ID, objectId)) {
        ZEP_TRACE_INFO(MODULE_TRACE, "CKA_ID missing on Cert Object");
        return false;
    }
    x509_certificate certificate = decodeCertificate(value);
    bool passed = false;
    switch (match) {
        case MATCH_ALL: passed = true; break;
        case MATCH_LABEL: passed = compareLabel(objectLabel, ZEPASNUtility::getDEREncoding(criterion)); break;
        case MATCH_SIGNATURE: passed = compareSignature(certificate, criterion); break;
        case MATCH_ISSUER_AND_SERIAL: passed = compareIssuerAndSerialNumber(certificate, criterion); break;
        case MATCH_UNSIGNED_CERTIFICATE: passed = compareUnsignedCertificate(certificate, criterion); break;
        case MATCH_SUBJECT_NAME: passed = compareSubjectName(certificate, criterion); break;
        case MATCH_SUBJECT_PUBLIC_KEY_INFO: passed = compareSubjectPublicKeyInfo(certificate, criterion); break;
        default: break;
    }
    if (!passed) return false;
    certificateDER = value;
    label = objectLabel;
    id = objectId;
    return true;
}

bool SlotManagerUtility::compareSignature(const x509_certificate& certificate, const asn_object& criterion) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::compareSignature()");
    return certificate.get_signature() == ZEPDBUtility::downcastBitString(criterion);
}

bool SlotManagerUtility::compareIssuerAndSerialNumber(const x509_certificate& certificate,
                                                      const asn_object& criterion) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::compareIssuerAndSerialNumber()");
    IssuerAndSerialNumber own =
        ZEPASNUtility::getIssuerAndSerialNumber(certificate.get_issuer(), certificate.get_serial_number());
    return own == ZEPDBUtility::downcastIssuerAndSerialNumber(criterion);
}

bool SlotManagerUtility::compareUnsignedCertificate(const x509_certificate& certificate, const asn_object& criterion) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::compareUnsignedCertificate()");
    return certificate.get_tbs_certificate() == ZEPDBUtility::downcastTBSCertificate(criterion);
}

bool SlotManagerUtility::compareSubjectName(const x509_certificate& certificate, const asn_object& criterion) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::compareSubjectName()");
    return certificate.get_subject() == ZEPDBUtility::downcastX500name(criterion);
}

bool SlotManagerUtility::compareSubjectPublicKeyInfo(const x509_certificate& certificate,
                                                     const asn_object& criterion) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::compareSubjectPublicKeyInfo()");
    return certificate.get_subject_public_key_info() == ZEPDBUtility::downcastSubjectPublicKeyInfo(criterion);
}

ZEPBuffer SlotManagerUtility::normalizeLabel(const ZEPBuffer& label) {
    asn_UTF8String text;
    if (text.read(label.get()) == 0) return label;
    // Whatever the bytes' encoding, all of them become the content: a label
    // is never lost or merged with another.
    zep_asn_check(ZEP_HERE, text.set_value(label.getValue(), label.getLength()));
    return ZEPASNUtility::getDEREncoding(text);
}

void SlotManagerUtility::setLabel(AttributeTemplate& object, const ZEPBuffer& label) {
    asn_UTF8String text;
    if (text.read(label.get()) != 0) {
        object.setAttribute(CKA_LABEL, label);
        return;
    }
    const r_buffer_t characters = text.content_view();
    object.setAttribute(CKA_LABEL, characters.data, characters.len);
}

bool SlotManagerUtility::compareLabel(const ZEPBuffer& a, const ZEPBuffer& b) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::compareLabel()");
    return normalizeLabel(a) == normalizeLabel(b);
}

bool SlotManagerUtility::exists(SlotManager& slot, const ZEPKeyItem& item, int& reason) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::exists()");
    const ZEPKRYKey& key = item.getKey();
    CK_OBJECT_HANDLE handle = 0;
    if (key.getFormat() == ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD) {
        if (!findItem(slot, objectClassOf(key), MATCH_KEY_RECORD, key.getKeyBlob(), handle)) return false;
        reason = errorcode::DUPLICATE_TOKEN_KEY;
        return true;
    }
    if (!findItem(slot, objectClassOf(key), MATCH_LABEL, item.getLabel(), handle)) return false;
    reason = errorcode::DUPLICATE_LABEL;
    return true;
}

bool SlotManagerUtility::exists(SlotManager& slot, const ZEPCertItem& item, int& reason) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::exists()");
    x509_certificate certificate;
    item.getCertificate(certificate);
    IssuerAndSerialNumber issuerAndSerial =
        ZEPASNUtility::getIssuerAndSerialNumber(certificate.get_issuer(), certificate.get_serial_number());
    std::vector<CK_OBJECT_HANDLE> sameSubject;
    findAllItems(slot, CKO_CERTIFICATE, sameSubject, MATCH_SUBJECT_NAME,
                 ZEPASNUtility::getDEREncoding(certificate.get_subject()));
    for (CK_OBJECT_HANDLE handle : sameSubject) {
        ZEPBuffer der, label, id;
        try {
            if (!getCert(slot, handle, MATCH_ALL, certificate, der, label, id)) continue;
        } catch (const ZEPException& failure) {
            // A damaged certificate is no duplicate of anything.
            if (!isUnreadable(failure)) throw;
            continue;
        }
        x509_certificate stored = decodeCertificate(der);
        if (compareLabel(label, item.getLabel()))
            reason = errorcode::DUPLICATE_LABEL;
        else if (compareSignature(stored, certificate.get_signature()))
            reason = errorcode::DUPLICATE_SIGNATURE;
        else if (compareUnsignedCertificate(stored, certificate.get_tbs_certificate()))
            reason = errorcode::DUPLICATE_UNSIGNED_CERTIFICATE;
        else if (compareIssuerAndSerialNumber(stored, issuerAndSerial))
            reason = errorcode::DUPLICATE_ISSUER_AND_SERIAL;
        else
            continue;
        return true;
    }
    return false;
}

namespace {
template <typename Item>
bool throwIfDuplicate(SlotManager& slot, const Item& item) {
    int reason = 0;
    if (SlotManagerUtility::exists(slot, item, reason)) throw ZEPPKCS11Exception(ZEP_HERE, reason, "");
    return true;
}
}  // namespace

bool SlotManagerUtility::isUnique(SlotManager& slot, const ZEPKeyItem& item) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::isUnique()");
    return throwIfDuplicate(slot, item);
}

bool SlotManagerUtility::isUnique(SlotManager& slot, const ZEPCertItem& item) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::isUnique()");
    return throwIfDuplicate(slot, item);
}

bool SlotManagerUtility::isUnique(SlotManager& slot, const ZEPKeyCertItem& item) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::isUnique()");
    return isUnique(slot, item.getKeyItem()) && isUnique(slot, item.getCertItem());
}

bool SlotManagerUtility::isUnreadable(const ZEPException& failure) {
    return dynamic_cast<const ZEPASNException*>(&failure) || failure.getCode() == errorcode::NOT_SUPPORTED;
}

ZEPKeyItem* SlotManagerUtility::makeKeyItem(SlotManager& slot, CK_OBJECT_HANDLE handle) {
    TokenLabel tokenLabel;
    return makeKeyItem(slot, handle, tokenLabel);
}

namespace {

// Key components the token does not give stand in as one blank byte.
const ZEPBuffer& placeholder() {
    static const ZEPBuffer blank(1, " ");
    return blank;
}

// The SubjectPublicKeyInfo of an RSA key object's components. Public key
// objects get the same record texts as private ones.
ZEPBuffer rsaPublicKeyInfo(const AttributeTemplate& components) {
    ZEPSubjectPublicKeyInfo publicKeyInfo;
    publicKeyInfo.setModulus(
        valueOrReport(components, CKA_MODULUS, "CKA_MODULUS missing on Private Key Object", placeholder()));
    publicKeyInfo.setPublicExponent(valueOrReport(components, CKA_PUBLIC_EXPONENT,
                                                  "CKA_PUBLIC_EXPONENT missing on Private Key Object", placeholder()));
    publicKeyInfo.setAlgorithm(ZEPASNOID::VALUE_RSA, ZEPASNOID::VALUE_RSA_COUNT);
    return publicKeyInfo.getDER();
}

ZEPBuffer ecParamsOf(const AttributeTemplate& components) {
    return valueOrReport(components, CKA_EC_PARAMS, "CKA_EC_PARAMS missing on Key Object");
}

// The SubjectPublicKeyInfo of an EC public key object; CKA_EC_POINT may
// hold the point in a DER OCTET STRING or bare.
ZEPBuffer ecPublicKeyInfo(const AttributeTemplate& components) {
    return ZEPECPublicKey::fromToken(ecParamsOf(components),
                                     valueOrReport(components, CKA_EC_POINT, "CKA_EC_POINT missing on Key Object"))
        .getDER();
}

}  // namespace

ZEPKeyItem* SlotManagerUtility::makeKeyItem(SlotManager& slot, CK_OBJECT_HANDLE handle, TokenLabel& tokenLabel) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::makeKeyItem(CK_OBJECT_HANDLE)");
    // The key's own attributes and, as most keys are RSA keys, the RSA
    // public components.
    const std::vector<AttributeTemplate> read = ObjectReader::readKeyItem(slot, handle);
    const AttributeTemplate& object = read[0];
    CK_ULONG objectClass = CKO_DATA, keyType = CKK_DSA;
    if (!object.getAttribute(CKA_CLASS, objectClass) ||
        (objectClass != CKO_PRIVATE_KEY && objectClass != CKO_PUBLIC_KEY))
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_SUPPORTED, "Only PUBLIC and PRIVATE key types are supported.");
    if (!object.getAttribute(CKA_KEY_TYPE, keyType) || (keyType != CKK_RSA && keyType != CKK_EC))
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_SUPPORTED, "Only RSA Keys are supported.");
    const bool isPrivate = objectClass == CKO_PRIVATE_KEY, isEC = keyType == CKK_EC;
    ZEPBuffer label = valueOrReport(object, CKA_LABEL, "CKA_LABEL missing on Key Object");
    ZEPBuffer subject = valueOrReport(object, CKA_SUBJECT, "CKA_SUBJECT missing on Key Object");
    ZEPBuffer id = valueOrReport(object, CKA_ID, "CKA_ID missing on Key Object");

    ZEPKRYKey key(isPrivate ? ZEPKRYKey::TYPE_PRIVATE : ZEPKRYKey::TYPE_PUBLIC,
                  isEC ? ZEPKRYKey::ALGORITHM_EC : ZEPKRYKey::ALGORITHM_RSA);
    if (isPrivate) {
        // The private key stays on the token: the item names it. An EC
        // private key object holds no point, its curve gives the size.
        const unsigned int bits =
            isEC ? ZEPECCurve::fromECParams(ecParamsOf(ObjectReader::read(slot, handle, {CKA_EC_PARAMS}))).getFieldBits()
                 : ZEPKRYUtility::getKeySizeInBits(ZEPKRYKey(ZEPKRYKey::TYPE_PUBLIC, ZEPKRYKey::ALGORITHM_RSA,
                                                             ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO,
                                                             rsaPublicKeyInfo(read[1])));
        ZEPPKCS11ASNKeyRecord record(tokenLabel.of(slot), id, bits, subject);
        key.setFormat(ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD);
        key.setKeyBlob(record.getBuffer());
    } else {
        key.setFormat(ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO);
        key.setKeyBlob(isEC ? ecPublicKeyInfo(ObjectReader::read(slot, handle, {CKA_EC_PARAMS, CKA_EC_POINT}))
                            : rsaPublicKeyInfo(read[1]));
    }
    return new ZEPKeyItem(key, normalizeLabel(label));
}

ZEPCertItem* SlotManagerUtility::makeCertItem(SlotManager& slot, CK_OBJECT_HANDLE handle, MatchType match,
                                              const asn_object& criterion) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::makeCertItem(CK_OBJECT_HANDLE)");
    ZEPBuffer der, label, id;
    if (!getCert(slot, handle, match, criterion, der, label, id)) return nullptr;
    return new ZEPCertItem(der, normalizeLabel(label));
}

ZEPKeyCertItem* SlotManagerUtility::makeKeyCertItem(SlotManager& slot, CK_OBJECT_HANDLE handle, MatchType match,
                                                    const asn_object& criterion) {
    KeyRecordFinder finder(KeyRecordFinder::Mode::search);
    TokenLabel tokenLabel;
    return makeKeyCertItem(slot, handle, match, criterion, finder, tokenLabel);
}

ZEPKeyCertItem* SlotManagerUtility::makeKeyCertItem(SlotManager& slot, CK_OBJECT_HANDLE handle, MatchType match,
                                                    const asn_object& criterion, KeyRecordFinder& finder,
                                                    TokenLabel& tokenLabel) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::makeKeyCertItem()");
    ZEPBuffer der, label, id;
    if (!getCert(slot, handle, match, criterion, der, label, id)) return nullptr;
    x509_certificate certificate = decodeCertificate(der);
    ZEPPKCS11ASNKeyRecord search(" ", id, 0, ZEPASNUtility::getDEREncoding(certificate.get_subject()));
    CK_OBJECT_HANDLE privateKey = 0;
    if (!finder.find(slot, CKO_PRIVATE_KEY, search.getBuffer(), privateKey)) return nullptr;
    ZEPCertItem certificateItem(der, normalizeLabel(label));
    std::unique_ptr<ZEPKeyItem> keyItem(makeKeyItem(slot, privateKey, tokenLabel));
    return new ZEPKeyCertItem(*keyItem, certificateItem);
}

ZEPKeyCertReqItem* SlotManagerUtility::makeKeyCertReqItem(SlotManager& slot, CK_OBJECT_HANDLE privateKey) {
    KeyRecordFinder finder(KeyRecordFinder::Mode::search);
    TokenLabel tokenLabel;
    return makeKeyCertReqItem(slot, privateKey, finder, tokenLabel);
}

ZEPKeyCertReqItem* SlotManagerUtility::makeKeyCertReqItem(SlotManager& slot, CK_OBJECT_HANDLE privateKey,
                                                          KeyRecordFinder& finder, TokenLabel& tokenLabel) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::makeKeyCertReqItem()");
    std::unique_ptr<ZEPKeyItem> keyItem(makeKeyItem(slot, privateKey, tokenLabel));
    std::unique_ptr<ZEPKeyCertReqItem> request(makeKeyCertReqItem(slot, *keyItem, finder));
    if (request) {
        // Signed once, on the token: the item keeps the signed request.
        std::unique_ptr<ZEPKRYAlgorithmFactory> factory(slot.getZEPKRYAlgorithmFactory());
        CertificationRequest scratch;
        request->getSignedCertificationRequest(scratch, *factory);
    }
    return request.release();
}

ZEPKeyCertReqItem* SlotManagerUtility::makeKeyCertReqItem(SlotManager& slot, const ZEPKeyItem& privateKeyItem) {
    KeyRecordFinder finder(KeyRecordFinder::Mode::search);
    return makeKeyCertReqItem(slot, privateKeyItem, finder);
}

ZEPKeyCertReqItem* SlotManagerUtility::makeKeyCertReqItem(SlotManager& slot, const ZEPKeyItem& privateKeyItem,
                                                          KeyRecordFinder& finder) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::makeKeyCertReqItem()");
    const ZEPKRYKey& privateKey = privateKeyItem.getKey();
    ZEPPKCS11ASNKeyRecord record(privateKey.getKeyBlob());
    const ZEPBuffer recordDER = record.getBuffer();
    CK_OBJECT_HANDLE publicKey = 0, certificate = 0;
    if (!finder.find(slot, CKO_PUBLIC_KEY, recordDER, publicKey)) return nullptr;
    if (record.getSubjectName().empty()) return nullptr;
    // A key with a certificate is a key+certificate pair, no request.
    if (finder.find(slot, CKO_CERTIFICATE, recordDER, certificate)) return nullptr;
    std::unique_ptr<ZEPKeyItem> publicKeyItem(makeKeyItem(slot, publicKey));
    return new ZEPKeyCertReqItem(publicKeyItem->getKey(), privateKey, record.getSubjectName(),
                                 privateKeyItem.getLabel());
}

CK_OBJECT_CLASS SlotManagerUtility::objectClassOf(const ZEPKRYKey& key) {
    switch (key.getType()) {
        case ZEPKRYKey::TYPE_PRIVATE: return CKO_PRIVATE_KEY;
        case ZEPKRYKey::TYPE_PUBLIC: return CKO_PUBLIC_KEY;
        case ZEPKRYKey::TYPE_SECRET: return CKO_SECRET_KEY;
        default: return CKO_VENDOR_DEFINED;
    }
}

namespace {

// The key id of a public key: the SHA-1 of an EC key's uncompressed point,
// of an RSA key's modulus without leading zero bytes.
ZEPBuffer publicKeyId(const SubjectPublicKeyInfo& publicKeyInfo) {
    const ZEPBuffer der = ZEPASNUtility::getDEREncoding(publicKeyInfo);
    if (ZEPECCurve::isKeyAlgorithm(publicKeyInfo.algorithm))
        return ZEPKRYUtility::digestData_SHA1(ZEPECPublicKey(der).getPoint());
    return ZEPKRYUtility::digestData_SHA1(ZEPSubjectPublicKeyInfo(der).getModulus(true));
}

}  // namespace

ZEPBuffer SlotManagerUtility::makeObjectId(const ZEPKRYKey& key) {
    switch (key.getFormat()) {
        case ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO: {
            SubjectPublicKeyInfo publicKeyInfo;
            ZEPASNUtility::setDEREncoding(key.getKeyBlob(), publicKeyInfo);
            return publicKeyId(publicKeyInfo);
        }
        case ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO: {
            PrivateKeyInfo privateKeyInfo;
            ZEPASNUtility::setDEREncoding(key.getKeyBlob(), privateKeyInfo);
            if (!ZEPECCurve::isKeyAlgorithm(privateKeyInfo.privateKeyAlgorithm))
                return ZEPKRYUtility::digestData_SHA1(ZEPPrivateKeyInfo(key.getKeyBlob()).getModulus(true));
            const ZEPBuffer point = ZEPECPrivateKey::fromPrivateKeyInfo(key.getKeyBlob()).getPublicPoint();
            if (point.empty())
                throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_SUPPORTED,
                                         "An EC private key without its public point gets no CKA_ID.");
            return ZEPKRYUtility::digestData_SHA1(point);
        }
        case ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD: return ZEPPKCS11ASNKeyRecord(key.getKeyBlob()).getObjectId();
        default:
            ZEP_TRACE_INFO(MODULE_TRACE, "Can not create CKA_ID--unsupported key format");
            return ZEPKRYUtility::digestData_SHA1(ZEPBuffer(1, " "));
    }
}

ZEPBuffer SlotManagerUtility::makeObjectId(const x509_certificate& certificate) {
    return publicKeyId(certificate.get_subject_public_key_info());
}

namespace {

// Sets a big integer attribute from a DER INTEGER's content octets: as
// Cryptoki defines big integers, the unsigned big-endian value without
// leading zero bytes (a token takes a sign byte for part of the value and
// misjudges the key's size). A zero keeps one byte.
void setBigInteger(AttributeTemplate& object, CK_ATTRIBUTE_TYPE type, const ZEPBuffer& content) {
    size_t zeros = 0;
    while (zeros + 1 < content.getLength() && content.getValue()[zeros] == 0) ++zeros;
    object.setAttribute(type, ZEPBuffer(content.getLength() - zeros, content.getValue() + zeros));
}

// The RSA components of a key in a DER container as key object attributes.
void addPublicComponents(AttributeTemplate& object, const ZEPSubjectPublicKeyInfo& key) {
    setBigInteger(object, CKA_MODULUS, key.getModulus(false));
    setBigInteger(object, CKA_PUBLIC_EXPONENT, key.getPublicExponent());
}

void addPrivateComponents(AttributeTemplate& object, const ZEPPrivateKeyInfo& key) {
    setBigInteger(object, CKA_MODULUS, key.getModulus(false));
    setBigInteger(object, CKA_PUBLIC_EXPONENT, key.getPublicExponent());
    setBigInteger(object, CKA_PRIVATE_EXPONENT, key.getPrivateExponent());
    setBigInteger(object, CKA_PRIME_1, key.getPrime1());
    setBigInteger(object, CKA_PRIME_2, key.getPrime2());
    setBigInteger(object, CKA_EXPONENT_1, key.getExponent1());
    setBigInteger(object, CKA_EXPONENT_2, key.getExponent2());
    setBigInteger(object, CKA_COEFFICIENT, key.getCoefficient());
}

// An EC key's curve and point or private value as key object attributes.
void addPublicComponents(AttributeTemplate& object, const ZEPECPublicKey& key) {
    object.setAttribute(CKA_EC_PARAMS, key.getCurve().getECParams());
    object.setAttribute(CKA_EC_POINT, key.getECPoint());
}

void addPrivateComponents(AttributeTemplate& object, const ZEPECPrivateKey& key) {
    object.setAttribute(CKA_EC_PARAMS, key.getCurve().getECParams());
    object.setAttribute(CKA_VALUE, key.getValue());
    // An EC key is of use only for signing.
    object.setBool(CKA_SIGN, true);
}

CK_KEY_TYPE keyTypeOf(int algorithm) {
    switch (algorithm) {
        case ZEPKRYKey::ALGORITHM_RSA: return CKK_RSA;
        case ZEPKRYKey::ALGORITHM_EC: return CKK_EC;
        default: return CKK_DSA;
    }
}

const char* formatName(int format) {
    switch (format) {
        case ZEPKRYKey::FORMAT_NONE: return "FORMAT_NONE";
        case ZEPKRYKey::FORMAT_CLEAR_BUFFER: return "FORMAT_CLEAR_BUFFER";
        default: return "";
    }
}

}  // namespace

bool SlotManagerUtility::makeKeyItem(SlotManager& slot, const ZEPKeyItem& item, CK_OBJECT_HANDLE& handle,
                                     const ZEPBuffer& id, const ZEPBuffer& subject) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::makeKeyItem(ZEPKeyItem)");
    const ZEPKRYKey& key = item.getKey();
    const bool isEC = key.getAlgorithm() == ZEPKRYKey::ALGORITHM_EC;
    if (key.getAlgorithm() != ZEPKRYKey::ALGORITHM_RSA && key.getAlgorithm() != ZEPKRYKey::ALGORITHM_DSA && !isEC)
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_SUPPORTED, "Only RSA and DSA key algorithms are supported.");
    const ZEPBuffer objectId = id.empty() ? makeObjectId(key) : id;

    AttributeTemplate object;
    object.setBool(CKA_TOKEN, true);
    object.setBool(CKA_MODIFIABLE, true);
    object.setULong(CKA_KEY_TYPE, keyTypeOf(key.getAlgorithm()));
    setLabel(object, item.getLabel());
    object.setAttribute(CKA_ID, objectId);
    if (!subject.empty()) object.setAttribute(CKA_SUBJECT, subject);
    switch (key.getFormat()) {
        case ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO:
            object.setULong(CKA_CLASS, CKO_PUBLIC_KEY);
            object.setBool(CKA_PRIVATE, false);
            if (isEC)
                addPublicComponents(object, ZEPECPublicKey(key.getKeyBlob()));
            else
                addPublicComponents(object, ZEPSubjectPublicKeyInfo(key.getKeyBlob()));
            break;
        case ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO:
            object.setULong(CKA_CLASS, CKO_PRIVATE_KEY);
            object.setBool(CKA_PRIVATE, true);
            // The secret stays on the token, as it does for keys generated
            // there.
            object.setBool(CKA_SENSITIVE, true);
            object.setBool(CKA_EXTRACTABLE, false);
            if (isEC)
                addPrivateComponents(object, ZEPECPrivateKey::fromPrivateKeyInfo(key.getKeyBlob()));
            else
                addPrivateComponents(object, ZEPPrivateKeyInfo(key.getKeyBlob()));
            break;
        case ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD: {
            // The key is on the token already: it only takes the label and
            // the subject.
            CK_OBJECT_HANDLE existing = 0;
            if (!findItem(slot, CKO_PRIVATE_KEY, MATCH_ID, ZEPPKCS11ASNKeyRecord(key.getKeyBlob()).getObjectId(),
                          existing))
                throw ZEPPKCS11Exception(ZEP_HERE, errorcode::KEY_NOT_FOUND, "Private key was not found.");
            AttributeTemplate relabel;
            setLabel(relabel, item.getLabel());
            if (!subject.empty()) relabel.setAttribute(CKA_SUBJECT, subject);
            slot.getClient()->setAttributeValue(slot.getSessionHandle(), existing, relabel);
            return true;
        }
        default:
            throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_SUPPORTED,
                                     ZEPString("Can not insert keys with format=") + formatName(key.getFormat()));
    }
    slot.getClient()->createObject(slot.getSessionHandle(), object, handle);
    return true;
}

namespace {

// An EC key's curve (null for a key of another algorithm) and its point
// (empty when the key does not tell it).
struct ECKeyFacts {
    ECKeyFacts() = default;
    ECKeyFacts(const ZEPECCurve& ofCurve, const ZEPBuffer& ofPoint) : curve(&ofCurve), point(ofPoint) {}
    explicit ECKeyFacts(const ZEPECPublicKey& key) : ECKeyFacts(key.getCurve(), key.getPoint()) {}

    const ZEPECCurve* curve = nullptr;
    ZEPBuffer point;
};

// Throws 571002 unless the key and the certificate's key are both of
// another algorithm than EC, or on the same curve with the same point
// where the key tells its point.
void requireKeyOfCertificate(const ECKeyFacts& key, const ZEPCertItem& certificateItem) {
    x509_certificate certificate;
    certificateItem.getCertificate(certificate);
    const SubjectPublicKeyInfo& publicKeyInfo = certificate.get_subject_public_key_info();
    ECKeyFacts certified;
    if (ZEPECCurve::isKeyAlgorithm(publicKeyInfo.algorithm))
        certified = ECKeyFacts(ZEPECPublicKey(ZEPASNUtility::getDEREncoding(publicKeyInfo)));
    if (key.curve != certified.curve)
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::BAD_ARGUMENT, "The key is not on its certificate's curve.");
    if (!key.point.empty() && key.point != certified.point)
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::BAD_ARGUMENT, "The key is not its certificate's key.");
}

}  // namespace

void SlotManagerUtility::requireKeyOfCertificate(const ZEPKeyCertItem& item) {
    const ZEPKRYKey& key = item.getKey();
    // A key on the token is the certificate's by its id and subject.
    if (key.getFormat() == ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD) return;
    ECKeyFacts facts;
    if (key.getAlgorithm() == ZEPKRYKey::ALGORITHM_EC && key.getFormat() == ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO) {
        facts = ECKeyFacts(ZEPECPublicKey(key.getKeyBlob()));
    } else if (key.getAlgorithm() == ZEPKRYKey::ALGORITHM_EC &&
               key.getFormat() == ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO) {
        const ZEPECPrivateKey privateKey = ZEPECPrivateKey::fromPrivateKeyInfo(key.getKeyBlob());
        facts = ECKeyFacts(privateKey.getCurve(), privateKey.getPublicPoint());
    }
    ::requireKeyOfCertificate(facts, item.getCertItem());
}

void SlotManagerUtility::requireKeyOfCertificate(SlotManager& slot, const ZEPKRYKey& key,
                                                 CK_OBJECT_HANDLE privateKey, CK_OBJECT_HANDLE publicKey,
                                                 const ZEPCertItem& certificate) {
    ECKeyFacts facts;
    // The public key object tells the point; the private one only the curve.
    if (key.getAlgorithm() == ZEPKRYKey::ALGORITHM_EC && publicKey)
        facts = ECKeyFacts(
            ZEPECPublicKey(ecPublicKeyInfo(readAttributes(slot, publicKey, {CKA_EC_PARAMS, CKA_EC_POINT}))));
    else if (key.getAlgorithm() == ZEPKRYKey::ALGORITHM_EC)
        facts = ECKeyFacts(ZEPECCurve::fromECParams(ecParamsOf(readAttributes(slot, privateKey, {CKA_EC_PARAMS}))),
                           ZEPBuffer());
    ::requireKeyOfCertificate(facts, certificate);
}

bool SlotManagerUtility::makeCertItem(SlotManager& slot, const ZEPCertItem& item, CK_OBJECT_HANDLE& handle,
                                      ZEPBuffer& id) {
    ZEP_TRACE(MODULE_TRACE, "SlotManagerUtility::makeCertItem(ZEPCertItem)");
    x509_certificate certificate;
    item.getCertificate(certificate);
    const ZEPBuffer objectId = makeObjectId(certificate);
    AttributeTemplate object;
    object.setULong(CKA_CLASS, CKO_CERTIFICATE);
    object.setBool(CKA_TOKEN, true);
    setLabel(object, item.getLabel());
    object.setULong(CKA_CERTIFICATE_TYPE, CKC_X_509);
    object.setAttribute(CKA_SUBJECT, ZEPASNUtility::getDEREncoding(certificate.get_subject()));
    object.setAttribute(CKA_ID, objectId);
    object.setAttribute(CKA_VALUE, item.getCertificateDER());
    slot.getClient()->createObject(slot.getSessionHandle(), object, handle);
    id = objectId;
    return true;
}
