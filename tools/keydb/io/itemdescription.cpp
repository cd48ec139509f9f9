#include "io/itemdescription.h"

#include <optional>

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

struct ItemFacts {
    std::string kind;
    std::string label;
    std::string id;
    std::string keyId;
    std::string subject;
    std::optional<unsigned int> bits;
    std::optional<std::string> issuer;
    std::optional<std::string> serial;
};

struct KeyFacts {
    std::string id;
    std::string keyId;
    std::string subject;
    unsigned int bits = 0;
};

std::string hexOr(const std::optional<ZEPBuffer>& bytes) { return bytes ? lowerHex(*bytes) : ""; }

// A private key stays on the token: its record names the object (CKA_ID),
// its subject and size; its modulus is the object's. A public key item is
// the key itself: its CKA_ID is that of the object with its modulus.
KeyFacts keyFacts(const ZEPKeyItem& item, const TokenObjects& objects) {
    const ZEPKRYKey& key = item.getKey();
    KeyFacts facts;
    if (key.getFormat() == ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD) {
        ZEPPKCS11ASNKeyRecord record(key.getKeyBlob());
        facts.id = lowerHex(record.getObjectId());
        facts.subject = nameText(record.getSubjectName());
        facts.bits = record.getKeySize();
        if (auto modulus = objects.privateKeyModulus(record.getObjectId(), item.getLabel()))
            facts.keyId = modulusKeyId(*modulus);
    } else if (key.getFormat() == ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO) {
        PublicKeyFacts publicKey = PublicKeyFacts::ofDER(key.getKeyBlob());
        facts.keyId = publicKey.keyId;
        facts.bits = publicKey.bits;
        facts.id = hexOr(objects.publicKeyId(publicKey.modulus, item.getLabel()));
    }
    return facts;
}

void write(Output& output, const ItemFacts& facts) {
    output.field("Kind", "kind", facts.kind);
    output.field("Label", "label", facts.label);
    output.field("Id", "id", facts.id);
    output.field("Key id", "keyId", facts.keyId);
    output.field("Subject", "subject", facts.subject);
    if (facts.bits) output.field("Bits", "bits", static_cast<unsigned long>(*facts.bits));
    if (facts.issuer) output.field("Issuer", "issuer", *facts.issuer);
    if (facts.serial) output.field("Serial", "serial", *facts.serial);
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

void describeItem(Output& output, const ZEPKeyItem& item, const TokenObjects& objects) {
    KeyFacts key = keyFacts(item, objects);
    bool isPrivate = item.getKey().getType() == ZEPKRYKey::TYPE_PRIVATE;
    write(output, {isPrivate ? "private-key" : "public-key", labelText(item.getLabel()), key.id, key.keyId,
                   key.subject, key.bits, std::nullopt, std::nullopt});
}

void describeItem(Output& output, const ZEPCertItem& item, const TokenObjects& objects) {
    CertificateFacts certificate = CertificateFacts::ofDER(item.getCertificateDER());
    std::string id = hexOr(objects.certificateId(item.getCertificateDER(), item.getLabel()));
    write(output, {"certificate", labelText(item.getLabel()), id, certificate.key.keyId, certificate.subject,
                   std::nullopt, certificate.issuer, certificate.serial});
}

void describeItem(Output& output, const ZEPKeyCertItem& item, const TokenObjects& objects) {
    KeyFacts key = keyFacts(item.getKeyItem(), objects);
    CertificateFacts certificate = CertificateFacts::ofDER(item.getCertificateDER());
    write(output, {"key-certificate", labelText(item.getLabel()), key.id, certificate.key.keyId, certificate.subject,
                   key.bits, certificate.issuer, certificate.serial});
}

void describeItem(Output& output, const ZEPKeyCertReqItem& item, const TokenObjects& objects) {
    KeyFacts key = keyFacts(item.getPrivateKeyItem(), objects);
    PublicKeyFacts publicKey = PublicKeyFacts::ofDER(item.getPublicKeyItem().getKey().getKeyBlob());
    write(output, {"request", labelText(item.getLabel()), key.id, publicKey.keyId, nameText(item.getSubjectName()),
                   key.bits, std::nullopt, std::nullopt});
}

void describeObject(Output& output, const TokenObject& object) {
    output.field("Kind", "kind", std::string("other"));
    output.field("Type", "type", object.className());
    if (object.isKey()) output.field("Key type", "keyType", object.keyTypeName());
    output.field("Label", "label", labelText(object.label));
    output.field("Id", "id", lowerHex(object.id));
    if (!object.damage.empty()) output.field("Reason", "reason", "damaged: " + object.damage);
    if (object.objectClass != CKO_CERTIFICATE) return;
    try {
        CertificateFacts certificate = CertificateFacts::ofDER(object.value);
        output.field("Subject", "subject", certificate.subject);
        output.field("Key algorithm", "keyAlgorithm", certificate.key.algorithm);
    } catch (const ZEPException&) {
        // A certificate that is no X.509 certificate shows no more.
    }
}
