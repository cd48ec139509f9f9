#include "io/itemdescription.h"

#include <optional>

#include "asn/zepeccurve.h"
#include "io/derheader.h"
#include "io/keyfacts.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkrykey.h"
#include "zepexception.h"

namespace {

constexpr unsigned char utf8StringTag = 0x0C;

// The key's algorithm ("RSA", "EC") and, for EC keys, its curve ("P-256").
struct KeyKind {
    std::string algorithm;
    std::string curve;
};

struct ItemFacts {
    std::string kind;
    std::string label;
    std::optional<ZEPBuffer> id;
    std::string keyId;
    std::string subject;
    KeyKind key;
    std::optional<unsigned int> bits;
    std::optional<std::string> issuer;
    std::optional<std::string> serial;
};

struct KeyFacts {
    std::optional<ZEPBuffer> id;
    std::string keyId;
    std::string subject;
    KeyKind kind;
    unsigned int bits = 0;
};

KeyKind kindOf(const PublicKeyFacts& key) { return {key.algorithm, key.nistCurve()}; }

// An EC private key object holds no point: its record's size names the
// curve, each of the key database's curves having its own.
std::string curveOfSize(unsigned int bits) {
    for (const ZEPECCurve* curve : {&ZEPECCurve::P256, &ZEPECCurve::P384, &ZEPECCurve::P521})
        if (curve->getFieldBits() == bits) return curve->getNistName();
    return "";
}

std::string hexOr(const std::optional<ZEPBuffer>& bytes) { return bytes ? lowerHex(*bytes) : ""; }

// A private key stays on the token: its record names the object (CKA_ID),
// its subject and size; its key id is that of the object's modulus, or of
// the point its EC public key object holds. A public key item is the key
// itself: its CKA_ID is that of the object of its key.
KeyFacts keyFacts(const ZEPKeyItem& item, const TokenObjects& objects) {
    const ZEPKRYKey& key = item.getKey();
    KeyFacts facts;
    if (key.getFormat() == ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD) {
        ZEPPKCS11ASNKeyRecord record(key.getKeyBlob());
        facts.id = record.getObjectId();
        facts.subject = nameText(record.getSubjectName());
        facts.bits = record.getKeySize();
        const bool ec = key.getAlgorithm() == ZEPKRYKey::ALGORITHM_EC;
        facts.kind = {ec ? "EC" : "RSA", ec ? curveOfSize(facts.bits) : ""};
        facts.keyId = objects.privateKeyId(record.getObjectId(), item.getLabel(), ec ? CKK_EC : CKK_RSA);
    } else if (key.getFormat() == ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO) {
        PublicKeyFacts publicKey = PublicKeyFacts::ofDER(key.getKeyBlob());
        facts.keyId = publicKey.keyId;
        facts.kind = kindOf(publicKey);
        facts.bits = publicKey.bits;
        facts.id = objects.publicKeyId(publicKey, item.getLabel());
    }
    return facts;
}

// The URI of an item's principal object (CKO_PRIVATE_KEY for pairs,
// requests and private keys) on the token `token` names.
std::string uriOf(Pkcs11Uri uri, const std::string& label, const std::optional<ZEPBuffer>& id,
                  std::optional<CK_OBJECT_CLASS> type) {
    uri.object = label;
    uri.id = id;
    uri.type = type;
    return uri.format();
}

void write(Output& output, const ItemFacts& facts, const Pkcs11Uri& token, CK_OBJECT_CLASS type) {
    output.field("Kind", "kind", facts.kind);
    output.field("Label", "label", facts.label);
    output.field("Id", "id", hexOr(facts.id));
    output.field("Key id", "keyId", facts.keyId);
    output.field("Subject", "subject", facts.subject);
    output.field("Key algorithm", "keyAlgorithm", facts.key.algorithm);
    if (!facts.key.curve.empty()) output.field("Curve", "curve", facts.key.curve);
    if (facts.bits) output.field("Bits", "bits", static_cast<unsigned long>(*facts.bits));
    if (facts.issuer) output.field("Issuer", "issuer", *facts.issuer);
    if (facts.serial) output.field("Serial", "serial", *facts.serial);
    output.field("URI", "uri", uriOf(token, facts.label, facts.id, type));
}

}  // namespace

std::string labelText(const ZEPBuffer& label) {
    std::string_view bytes(reinterpret_cast<const char*>(label.getValue()), label.getLength());
    // The DER of a UTF8String is its header and the text, whatever bytes the
    // text holds; other labels are taken as they are.
    auto header = readDerHeader(bytes);
    if (header && header->tag == utf8StringTag && header->elementLength() == bytes.size())
        return std::string(bytes.substr(header->headerLength));
    return std::string(bytes);
}

void describeItem(Output& output, const ZEPKeyItem& item, const TokenObjects& objects, const Pkcs11Uri& token) {
    KeyFacts key = keyFacts(item, objects);
    bool isPrivate = item.getKey().getType() == ZEPKRYKey::TYPE_PRIVATE;
    write(output,
          {isPrivate ? "private-key" : "public-key", labelText(item.getLabel()), key.id, key.keyId, key.subject,
           key.kind, key.bits, std::nullopt, std::nullopt},
          token, isPrivate ? CKO_PRIVATE_KEY : CKO_PUBLIC_KEY);
}

void describeItem(Output& output, const ZEPCertItem& item, const TokenObjects& objects, const Pkcs11Uri& token) {
    CertificateFacts certificate = CertificateFacts::ofDER(item.getCertificateDER());
    write(output,
          {"certificate", labelText(item.getLabel()), objects.certificateId(item.getCertificateDER(), item.getLabel()),
           certificate.key.keyId, certificate.subject, kindOf(certificate.key), std::nullopt, certificate.issuer,
           certificate.serial},
          token, CKO_CERTIFICATE);
}

void describeItem(Output& output, const ZEPKeyCertItem& item, const TokenObjects& objects, const Pkcs11Uri& token) {
    KeyFacts key = keyFacts(item.getKeyItem(), objects);
    CertificateFacts certificate = CertificateFacts::ofDER(item.getCertificateDER());
    write(output,
          {"key-certificate", labelText(item.getLabel()), key.id, certificate.key.keyId, certificate.subject,
           kindOf(certificate.key), key.bits, certificate.issuer, certificate.serial},
          token, CKO_PRIVATE_KEY);
}

void describeItem(Output& output, const ZEPKeyCertReqItem& item, const TokenObjects& objects,
                  const Pkcs11Uri& token) {
    KeyFacts key = keyFacts(item.getPrivateKeyItem(), objects);
    PublicKeyFacts publicKey = PublicKeyFacts::ofDER(item.getPublicKeyItem().getKey().getKeyBlob());
    write(output,
          {"request", labelText(item.getLabel()), key.id, publicKey.keyId, nameText(item.getSubjectName()),
           kindOf(publicKey), key.bits, std::nullopt, std::nullopt},
          token, CKO_PRIVATE_KEY);
}

void describeObject(Output& output, const TokenObject& object, const Pkcs11Uri& token) {
    output.field("Kind", "kind", std::string("other"));
    output.field("Type", "type", object.className());
    if (object.isKey()) output.field("Key type", "keyType", object.keyTypeName());
    output.field("Label", "label", labelText(object.label));
    output.field("Id", "id", lowerHex(object.id));
    if (!object.damage.empty()) output.field("Reason", "reason", "damaged: " + object.damage);
    // A URI names only the classes it has a type for.
    const bool named = object.objectClass <= CKO_SECRET_KEY;
    output.field("URI", "uri",
                 uriOf(token, labelText(object.label), object.id,
                       named ? std::optional<CK_OBJECT_CLASS>(object.objectClass) : std::nullopt));
    if (object.objectClass != CKO_CERTIFICATE) return;
    try {
        CertificateFacts certificate = CertificateFacts::ofDER(object.value);
        output.field("Subject", "subject", certificate.subject);
        output.field("Key algorithm", "keyAlgorithm", certificate.key.algorithm);
    } catch (const ZEPException&) {
        // A certificate that is no X.509 certificate shows no more.
    }
}
