// The key database's write side on a SoftHSM2 token, checked with
// pkcs11-tool and openssl: what the module stores is what they see and use,
// found by its plain label, and the imported secret stays on the token.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "asn/asn_string.h"
#include "asn/zepasnutility.h"
#include "attributetemplate.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeyitem.h"
#include "kry/zepkrykey.h"
#include "openssltool.h"
#include "slotmanager.h"
#include "softhsmtest.h"

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

    static size_t count(const std::string& text, const std::string& pattern) {
        const std::regex expression(pattern);
        return std::distance(std::sregex_iterator(text.begin(), text.end(), expression), std::sregex_iterator());
    }

    OpenSSLTool openssl_;
    std::string id_;  // lower-case hexadecimal, as pkcs11-tool prints it
    std::unique_ptr<SlotManager> slot_;
};

TEST_F(SoftHSMKeyDatabaseWrite, StoredPairSignsAsOpensslDoesAndIsDeletedWhole) {
    const ZEPKRYKey key(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO,
                        OpenSSLTool::sharedKey("rsa1024.p8"));
    // The label as the toolkit hands it over, the DER of a UTF8String.
    asn_UTF8String name;
    name.set_text("alice");
    const ZEPBuffer label = ZEPASNUtility::getDEREncoding(name);
    ASSERT_TRUE(
        slot_->insertItem(ZEPKeyCertItem(ZEPKeyItem(key, label), ZEPCertItem(openssl_.readFile("cert.der"), label))));

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

    EXPECT_TRUE(slot_->deleteItem(ZEPSlotManager::KeyCertUniqueIndex::LABEL, name));
    const std::string left = pkcs11Tool("--list-objects");
    EXPECT_EQ(count(left, "Object;"), 0u) << left;
}

}  // namespace
