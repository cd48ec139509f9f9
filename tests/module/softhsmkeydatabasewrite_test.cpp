// The key database's write side on a SoftHSM2 token, checked with
// pkcs11-tool and openssl: what the module stores is what they see and use,
// found by its plain label, and the imported secret stays on the token.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "asn/asn_string.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnutility.h"
#include "attributetemplate.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkrykey.h"
#include "openssltool.h"
#include "slotmanager.h"
#include "softhsmtest.h"
#include "testtokentest.h"

namespace {

class SoftHSMKeyDatabaseWrite : public SoftHSMTest {
protected:
    SoftHSMKeyDatabaseWrite() {
        openssl_.copySharedKey("rsa1024.pem", "key.pem");
        openssl_.must("req -new -x509 -key key.pem -subj /CN=Alice/O=Example -days 2 -outform DER -out cert.der");
        const std::string modulus = openssl_.must("rsa -in key.pem -noout -modulus");
        openssl_.writeFile("modulus.bin", OpenSSLTool::hexBytes(modulus.substr(modulus.find('=') + 1)));
        id_ = openssl_.must("dgst -sha1 -r modulus.bin").substr(0, 40);
        slot_.reset(static_cast<SlotManager*>(manager_->getSlotManager(tokenSlot(), 1)));
        slot_->login(pin(token_.userPin()));
    }

    std::string pkcs11Tool(const std::string& arguments) { return runPkcs11Tool(token_, arguments); }

    // Stores openssl's RSA key and its certificate as the pair "alice", the
    // label as the toolkit hands it over, the DER of a UTF8String.
    bool insertPair() {
        const ZEPKRYKey key(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO,
                            OpenSSLTool::sharedKey("rsa1024.p8"));
        name_.set_text("alice");
        const ZEPBuffer label = ZEPASNUtility::getDEREncoding(name_);
        return slot_->insertItem(
            ZEPKeyCertItem(ZEPKeyItem(key, label), ZEPCertItem(openssl_.readFile("cert.der"), label)));
    }

    // The key+certificate pairs the key database lists: label, key algorithm
    // and key size of each.
    std::multiset<std::string> listedPairs() {
        std::multiset<std::string> pairs;
        std::unique_ptr<ZEPSlotManager::Iterator> iterator(slot_->getKeyCertIterator());
        while (std::unique_ptr<ZEPKeyCertItem> pair{slot_->getNextKeyCertItem(*iterator)}) {
            const ZEPBuffer& label = pair->getLabel();  // the DER of a short UTF8String
            pairs.insert(std::string(reinterpret_cast<const char*>(label.getValue()) + 2, label.getLength() - 2) +
                         " " + std::to_string(pair->getKey().getAlgorithm()) + " " +
                         std::to_string(ZEPPKCS11ASNKeyRecord(pair->getKey().getKeyBlob()).getKeySize()));
        }
        return pairs;
    }

    static size_t count(const std::string& text, const std::string& pattern) {
        const std::regex expression(pattern);
        return std::distance(std::sregex_iterator(text.begin(), text.end(), expression), std::sregex_iterator());
    }

    OpenSSLTool openssl_;
    std::string id_;  // lower-case hexadecimal, as pkcs11-tool prints it
    asn_UTF8String name_;
    std::unique_ptr<SlotManager> slot_;
};

TEST_F(SoftHSMKeyDatabaseWrite, StoredPairSignsAsOpensslDoesAndIsDeletedWhole) {
    ASSERT_TRUE(insertPair());

    const std::string objects = pkcs11Tool("--list-objects");
    EXPECT_EQ(count(objects, "Private Key Object"), 1u) << objects;
    EXPECT_EQ(count(objects, "Certificate Object"), 1u) << objects;
    EXPECT_EQ(count(objects, "ID: +" + id_), 2u) << objects;
    EXPECT_EQ(count(objects, "label: +alice\n"), 2u) << objects;
    EXPECT_EQ(count(objects, "Access: +sensitive\n"), 1u) << objects;
    pkcs11Tool("--read-object --type cert --label alice -o " + token_.folder() + "/found.der");
    EXPECT_EQ(openssl_.readFile(token_.folder() + "/found.der"), openssl_.readFile("cert.der"));
    // The imported secret cannot be read back.
    std::vector<CK_OBJECT_HANDLE> keys;
    AttributeTemplate search, request, values;
    search.setULong(CKA_CLASS, CKO_PRIVATE_KEY);
    client_.findObjects(slot_->getSessionHandle(), search, keys);
    ASSERT_EQ(keys.size(), 1u);
    for (CK_ATTRIBUTE_TYPE type : {CKA_SENSITIVE, CKA_EXTRACTABLE, CKA_PRIVATE_EXPONENT}) request.addAttribute(type);
    EXPECT_EQ(client_.getAttributeValue(slot_->getSessionHandle(), keys[0], request, values), CKR_ATTRIBUTE_SENSITIVE);
    bool sensitive = false, extractable = true;
    ASSERT_TRUE(values.getAttribute(CKA_SENSITIVE, sensitive) && values.getAttribute(CKA_EXTRACTABLE, extractable));
    EXPECT_TRUE(sensitive && !extractable);
    ZEPBuffer exponent;
    EXPECT_FALSE(values.getAttribute(CKA_PRIVATE_EXPONENT, exponent));

    // PKCS#1 v1.5 signatures are deterministic: the token's equals openssl's.
    const std::string data = token_.folder() + "/data", signature = token_.folder() + "/signature";
    std::ofstream(data) << "signed on the token";
    pkcs11Tool("--sign -m SHA1-RSA-PKCS --id " + id_ + " -i " + data + " -o " + signature);
    openssl_.must("dgst -sha1 -sign key.pem -out expected.sig " + data);
    std::ifstream made(signature, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(made)), std::istreambuf_iterator<char>());
    EXPECT_EQ(ZEPBuffer(bytes.size(), bytes.data()), openssl_.readFile("expected.sig"));

    EXPECT_TRUE(slot_->deleteItem(ZEPSlotManager::KeyCertUniqueIndex::LABEL, name_));
    const std::string left = pkcs11Tool("--list-objects");
    EXPECT_EQ(count(left, "Object;"), 0u) << left;
}

// openssl's EC keys imported with their certificates: each private key is
// sensitive, shares openssl's key identifier with its certificate as CKA_ID
// and signs (through pkcs11-tool) what the certificate verifies. A key of
// another curve than its certificate's writes nothing. Each pair lists once,
// beside an RSA pair and an EC pair that pkcs11-tool generates and gives a
// certificate openssl makes for its key.
TEST_F(SoftHSMKeyDatabaseWrite, ECPairsImportedOrGeneratedListOnceEach) {
    const auto pairOf = [&](const std::string& key, const std::string& certificate) {
        const ZEPKRYKey privateKey(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_EC,
                                   ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO, OpenSSLTool::sharedKey(key + ".p8"));
        openssl_.copySharedKey(certificate + ".pem", "key.pem");
        openssl_.must("req -new -x509 -key key.pem -subj /CN=" + key + " -days 2 -outform DER -out " + key + ".der");
        const ZEPBuffer label(key.size(), key.data());
        return ZEPKeyCertItem(ZEPKeyItem(privateKey, label), ZEPCertItem(openssl_.readFile(key + ".der"), label));
    };
    expectFailure([&] { slot_->insertItem(pairOf("ec384", "ec")); }, 571002,
                  "The key is not on its certificate's curve.");
    EXPECT_EQ(count(pkcs11Tool("--list-objects"), "Object;"), 0u);
    ASSERT_TRUE(insertPair());
    const std::string publicKey = token_.folder() + "/eve.spki", certificate = token_.folder() + "/eve.der";
    pkcs11Tool("--keypairgen --key-type EC:prime256v1 --label eve --id e1");
    pkcs11Tool("--read-object --type pubkey --id e1 -o " + publicKey);
    openssl_.copySharedKey("ec384.pem", "issuer.pem");
    openssl_.must("x509 -new -subj /CN=Eve -key issuer.pem -force_pubkey " + publicKey +
                  " -days 2 -outform DER -out " + certificate);
    pkcs11Tool("--write-object " + certificate + " --type cert --label eve --id e1");
    // pkcs11-tool gives generated keys no subject: the private key takes the
    // certificate's, as when a certificate joins its request.
    std::vector<CK_OBJECT_HANDLE> keys;
    AttributeTemplate search, subject;
    search.setULong(CKA_CLASS, CKO_PRIVATE_KEY);
    search.setAttribute(CKA_ID, ZEPBuffer(1, "\xe1"));
    client_.findObjects(slot_->getSessionHandle(), search, keys);
    ASSERT_EQ(keys.size(), 1u);
    x509_certificate issued;
    ZEPASNUtility::setDEREncoding(openssl_.readFile(certificate), issued);
    subject.setAttribute(CKA_SUBJECT, ZEPASNUtility::getDEREncoding(issued.get_subject()));
    client_.setAttributeValue(slot_->getSessionHandle(), keys[0], subject);

    const std::string data = token_.folder() + "/data", digest = token_.folder() + "/digest",
                      signature = token_.folder() + "/signature";
    std::ofstream(data) << "signed on the token";
    openssl_.must("dgst -sha256 -binary -out " + digest + " " + data);
    for (const std::string key : {"ec", "ec384", "ec521"}) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(slot_->insertItem(pairOf(key, key)));
        const std::string keyId =
            openssl_.must("x509 -inform DER -in " + key + ".der -noout -ext subjectKeyIdentifier");
        std::string id;
        for (char c : keyId.substr(keyId.find('\n') + 1))
            if (std::isxdigit(static_cast<unsigned char>(c))) id += static_cast<char>(std::tolower(c));
        EXPECT_EQ(count(pkcs11Tool("--list-objects"), "ID: +" + id + "\n"), 2u);
        pkcs11Tool("--sign -m ECDSA --signature-format openssl --id " + id + " -i " + digest + " -o " + signature);
        openssl_.must("x509 -inform DER -in " + key + ".der -pubkey -noout -out public.pem");
        openssl_.must("dgst -sha256 -verify public.pem -signature " + signature + " " + data);
    }
    EXPECT_EQ(count(pkcs11Tool("--list-objects"), "Access: +sensitive\n"), 4u);
    EXPECT_EQ(listedPairs(),
              (std::multiset<std::string>{"alice 1 1024", "eve 3 256", "ec 3 256", "ec384 3 384", "ec521 3 521"}));
}

}  // namespace
