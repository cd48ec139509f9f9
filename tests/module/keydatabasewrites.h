// Base of the tests of the key database's write side: items of the
// certificates' key, and every kind of write as a table of cases with the
// Cryptoki writes each makes, in order.
#ifndef MERVIL_TESTS_KEYDATABASEWRITES_H
#define MERVIL_TESTS_KEYDATABASEWRITES_H

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "asn/asn_string.h"
#include "asn/zepasnutility.h"
#include "keydatabasetest.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkrykey.h"

using Objects = std::map<CK_OBJECT_HANDLE, Attributes>;

inline asn_UTF8String labelValue(const std::string& text) {
    asn_UTF8String label;
    label.set_text(text);
    return label;
}

// The token's objects by handle, whoever may see them.
inline Objects objectsNow(CK_SLOT_ID slot) {
    Objects objects;
    for (const testtoken::ObjectInfo& object : testtoken::Control::objects(slot))
        objects.emplace(object.handle, object.attributes);
    return objects;
}

class KeyDatabaseWrite : public KeyDatabaseTest {
protected:
    using Index = ZEPSlotManager;

    static void SetUpTestSuite();

    static ZEPKRYKey publicKey() {
        return ZEPKRYKey(ZEPKRYKey::TYPE_PUBLIC, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO,
                         OpenSSLTool::sharedKey("rsa1024.spki"));
    }
    static ZEPKRYKey privateKey() {
        return ZEPKRYKey(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO,
                         OpenSSLTool::sharedKey("rsa1024.p8"));
    }
    // A private key that stays on the token, named by CKA_ID and CKA_SUBJECT.
    static ZEPKRYKey tokenKey(const ZEPBuffer& id, const ZEPBuffer& subject) {
        return ZEPKRYKey(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD,
                         ZEPPKCS11ASNKeyRecord("database", id, 1024, subject).getBuffer());
    }
    // A key the token signs, encrypts or decrypts with: its record names
    // the token by the label as the token reports it, blank padded.
    static ZEPKRYKey algorithmKey(const ZEPBuffer& id, const ZEPBuffer& subject, int type = ZEPKRYKey::TYPE_PRIVATE) {
        return ZEPKRYKey(type, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD,
                         ZEPPKCS11ASNKeyRecord(std::string("database").append(24, ' ').c_str(), id, 1024, subject)
                             .getBuffer());
    }
    // Items carry their labels as the DER of a UTF8String, as the toolkit
    // hands them over; the token gets the characters.
    static ZEPBuffer derLabel(const std::string& label) { return ZEPASNUtility::getDEREncoding(labelValue(label)); }
    static ZEPKeyItem keyItem(const ZEPKRYKey& key, const std::string& label) {
        return ZEPKeyItem(key, derLabel(label));
    }
    static ZEPCertItem certItem(const ZEPBuffer& der, const std::string& label) {
        return ZEPCertItem(der, derLabel(label));
    }
    // The pair the objects of addPair form.
    static ZEPKeyCertItem pairItem(const ZEPBuffer& der, const std::string& label, const ZEPBuffer& id = keyId_) {
        return ZEPKeyCertItem(keyItem(tokenKey(id, alice_), label), certItem(der, label));
    }
    static ZEPKeyCertReqItem requestItem(const ZEPKRYKey& privateKey, const ZEPBuffer& subject,
                                         const std::string& label) {
        return ZEPKeyCertReqItem(publicKey(), privateKey, subject, derLabel(label));
    }
    // A key pair of CN=Alice,O=Example, with its certificate when one is
    // given: the certificate first, then the private and the public key.
    static void addPair(const std::string& label, const ZEPBuffer& certificate = ZEPBuffer(),
                        const ZEPBuffer& id = keyId_) {
        if (!certificate.empty()) addCertificate(certificate, label, id);
        addKey(CKO_PRIVATE_KEY, label, id, alice_);
        addKey(CKO_PUBLIC_KEY, label, id, alice_);
    }

    static AttributeValue attribute(CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type) {
        return Control::object(kSlot, object).attributes.at(type);
    }

    static bool isWrite(const std::string& function) {
        return function == "C_CreateObject" || function == "C_SetAttributeValue" || function == "C_DestroyObject" ||
               function == "C_GenerateKeyPair";
    }

    // A Cryptoki write: the function, the object written (numbered in
    // creation order: the setup's objects, then those the write created) and
    // the attribute types a C_SetAttributeValue sets.
    struct Write {
        std::string function;
        size_t object;
        std::vector<CK_ATTRIBUTE_TYPE> attributes = {};
        bool operator==(const Write&) const = default;
        friend std::ostream& operator<<(std::ostream& out, const Write& write) {
            out << write.function << " #" << write.object;
            for (CK_ATTRIBUTE_TYPE type : write.attributes) out << " 0x" << std::hex << type << std::dec;
            return out;
        }
    };

    // One write of the key database: what is on the token before, the write,
    // and the Cryptoki writes it makes on a good run, in order. The write
    // returns true exactly when it makes writes.
    struct WriteCase {
        const char* name;
        std::function<void()> setUp;
        std::function<bool(SlotManager&)> write;
        std::vector<Write> writes;
        // Lookups by index search before the item's write guard is reached.
        bool guardFirst = true;
    };
    static std::vector<WriteCase> writeCases();

    // An id as pkcs11-tool gives one, which is no modulus hash.
    static ZEPBuffer shortId() { return ZEPBuffer(1, "\x0c"); }

    static ZEPBuffer keyId_, alice_, bobCertificate_;
};

#endif
