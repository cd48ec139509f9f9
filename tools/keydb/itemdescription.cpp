#include "itemdescription.h"

#include <optional>

#include "asn/asn_string.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnutility.h"
#include "keyfacts.h"
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
    std::string subject;
    std::optional<unsigned int> bits;
    std::optional<std::string> issuer;
    std::optional<std::string> serial;
};

struct KeyFacts {
    std::string id;
    std::string subject;
    unsigned int bits = 0;
};

// A private key stays on the token: its record names the object (CKA_ID)
// and its subject. A public key carries no id of its own, so its id is
// computed as the key database gives it (SHA-1 of the modulus), which is the
// CKA_ID of keys and certificates the key database writes.
KeyFacts keyFacts(const ZEPKRYKey& key) {
    KeyFacts facts;
    if (key.getFormat() == ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD) {
        ZEPPKCS11ASNKeyRecord record(key.getKeyBlob());
        facts.id = lowerHex(record.getObjectId());
        facts.subject = nameText(record.getSubjectName());
        facts.bits = record.getKeySize();
    } else if (key.getFormat() == ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO) {
        PublicKeyFacts publicKey = PublicKeyFacts::ofDER(key.getKeyBlob());
        facts.id = publicKey.id;
        facts.bits = publicKey.bits;
    }
    return facts;
}

// As keyFacts, the certificate's id is computed from its modulus.
CertificateFacts certificateFacts(const ZEPCertItem& item) {
    x509_certificate certificate;
    return CertificateFacts::of(item.getCertificate(certificate));
}

void write(Output& output, const ItemFacts& facts) {
    output.field("Kind", "kind", facts.kind);
    output.field("Label", "label", facts.label);
    output.field("Id", "id", facts.id);
    output.field("Subject", "subject", facts.subject);
    if (facts.bits) output.field("Bits", "bits", static_cast<unsigned long>(*facts.bits));
    if (facts.issuer) output.field("Issuer", "issuer", *facts.issuer);
    if (facts.serial) output.field("Serial", "serial", *facts.serial);
}

}  // namespace

std::string labelText(const ZEPBuffer& label) {
    if (!label.empty() && label.getValue()[0] == utf8StringTag) {
        try {
            asn_UTF8String text;
            ZEPASNUtility::setDEREncoding(label, text);
            std::string decoded;
            if (text.get_text(decoded) == 0) return decoded;
        } catch (const ZEPASNException&) {
            // Plain text that happens to start with the tag byte.
        }
    }
    return std::string(reinterpret_cast<const char*>(label.getValue()), label.getLength());
}

void describeItem(Output& output, const ZEPKeyItem& item) {
    KeyFacts key = keyFacts(item.getKey());
    bool isPrivate = item.getKey().getType() == ZEPKRYKey::TYPE_PRIVATE;
    write(output, {isPrivate ? "private-key" : "public-key", labelText(item.getLabel()), key.id, key.subject, key.bits,
                   std::nullopt, std::nullopt});
}

void describeItem(Output& output, const ZEPCertItem& item) {
    CertificateFacts certificate = certificateFacts(item);
    write(output, {"certificate", labelText(item.getLabel()), certificate.key.id, certificate.subject, std::nullopt,
                   certificate.issuer, certificate.serial});
}

void describeItem(Output& output, const ZEPKeyCertItem& item) {
    KeyFacts key = keyFacts(item.getKey());
    CertificateFacts certificate = certificateFacts(item.getCertItem());
    write(output, {"key-certificate", labelText(item.getLabel()), key.id, certificate.subject, key.bits,
                   certificate.issuer, certificate.serial});
}

void describeItem(Output& output, const ZEPKeyCertReqItem& item) {
    KeyFacts key = keyFacts(item.getPrivateKeyItem().getKey());
    write(output, {"request", labelText(item.getLabel()), key.id, nameText(item.getSubjectName()), key.bits,
                   std::nullopt, std::nullopt});
}
