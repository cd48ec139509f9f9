// The key database's read side on SoftHSM2 tokens holding keys and
// certificates made by openssl, written by pkcs11-tool and through Cryptoki.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "asn/asn_string.h"
#include "asn/asn_x500name.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnutility.h"
#include "attributetemplate.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertitemcontainer.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkrykey.h"
#include "kry/zepsha1.h"
#include "openssltool.h"
#include "pkcs11client.h"
#include "pkcs11manager.h"
#include "slotmanager.h"
#include "slotmanagerutility.h"
#include "softhsmtoken.h"
#include "zepsubjectpublickeyinfo.h"
#include "zeputility.h"

namespace {

using Index = ZEPSlotManager;

asn_UTF8String labelValue(const std::string& text) {
    asn_UTF8String label;
    label.set_text(text);
    return label;
}

ZEPBuffer text(const std::string& value) { return ZEPBuffer(value.size(), value.data()); }

class SoftHSMKeyDatabase : public ::testing::Test {
protected:
    SoftHSMKeyDatabase() {
        openssl_.copySharedKey("rsa1024.pem", "key.pem");
        openssl_.copySharedKey("rsa1024.p8", "key.der");
        openssl_.must("req -new -x509 -key key.pem -subj /CN=Alice/O=Example -days 2 -outform DER -out cert.der");
        privateKey_ = std::make_unique<ZEPPrivateKeyInfo>(openssl_.readFile("key.der"));
        certificate_ = openssl_.readFile("cert.der");
        x509_certificate decoded;
        ZEPASNUtility::setDEREncoding(certificate_, decoded);
        subject_ = ZEPASNUtility::getDEREncoding(decoded.get_subject());
        id_ = ZEPSHA1::digest(privateKey_->getModulus(true));
    }

    // Connects after the objects were written, and finds the fixture's token.
    SlotManager& connect() {
        manager_ = std::make_unique<PKCS11Manager>(ZEPPKCS11ConnectInfo(SoftHSMToken::libraryPath().c_str()));
        std::vector<CK_SLOT_ID> slots;
        manager_->getSlotIds(slots);
        for (CK_SLOT_ID id : slots) {
            slot_.reset(static_cast<SlotManager*>(manager_->getSlotManager(id, 1)));
            if (slot_->isTokenPresent() && slot_->getLabel().str().rfind(token_.label() + " ", 0) == 0) return *slot_;
        }
        throw std::runtime_error("no fixture token");
    }

    void writeWithPkcs11Tool(const std::string& file, const std::string& type, const std::string& label = "alice") {
        std::string command = "pkcs11-tool --module " + SoftHSMToken::libraryPath() + " --token-label " +
                              token_.label() + " --login --pin " + token_.userPin() + " --write-object " +
                              copyForTool(file) + " --type " + type + " --id " +
                              ZEPUtility::binaryToHexString(id_).str() + " --label '" + label + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    // A copy of one of openssl's files in the token's folder, for pkcs11-tool.
    std::string copyForTool(const std::string& file) {
        std::string path = token_.folder() + "/" + file;
        std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(path.c_str(), "wb"), std::fclose);
        ZEPBuffer bytes = openssl_.readFile(file);
        std::fwrite(bytes.getValue(), 1, bytes.getLength(), out.get());
        return path;
    }

    // Writes the key pair and the certificate the way the key database
    // does: all three share CKA_ID and CKA_SUBJECT.
    void writeThroughCryptoki(const std::string& label, bool withCertificate) {
        AttributeTemplate common;
        common.setBool(CKA_TOKEN, true);
        common.setAttribute(CKA_LABEL, text(label));
        common.setAttribute(CKA_ID, id_);
        common.setAttribute(CKA_SUBJECT, subject_);
        AttributeTemplate publicKey = common, privateKey = common;
        for (AttributeTemplate* key : {&publicKey, &privateKey}) {
            key->setULong(CKA_KEY_TYPE, CKK_RSA);
            key->setAttribute(CKA_MODULUS, privateKey_->getModulus(false));
            key->setAttribute(CKA_PUBLIC_EXPONENT, privateKey_->getPublicExponent());
        }
        publicKey.setULong(CKA_CLASS, CKO_PUBLIC_KEY);
        privateKey.setULong(CKA_CLASS, CKO_PRIVATE_KEY);
        privateKey.setBool(CKA_PRIVATE, true);
        privateKey.setAttribute(CKA_PRIVATE_EXPONENT, privateKey_->getPrivateExponent());
        privateKey.setAttribute(CKA_PRIME_1, privateKey_->getPrime1());
        privateKey.setAttribute(CKA_PRIME_2, privateKey_->getPrime2());
        privateKey.setAttribute(CKA_EXPONENT_1, privateKey_->getExponent1());
        privateKey.setAttribute(CKA_EXPONENT_2, privateKey_->getExponent2());
        privateKey.setAttribute(CKA_COEFFICIENT, privateKey_->getCoefficient());
        AttributeTemplate certificate = common;
        certificate.setULong(CKA_CLASS, CKO_CERTIFICATE);
        certificate.setULong(CKA_CERTIFICATE_TYPE, CKC_X_509);
        certificate.setAttribute(CKA_VALUE, certificate_);

        SlotManager& slot = *slot_;
        CK_OBJECT_HANDLE handle = 0;
        slot.getClient()->createObject(slot.getSessionHandle(), privateKey, handle);
        slot.getClient()->createObject(slot.getSessionHandle(), publicKey, handle);
        if (withCertificate) slot.getClient()->createObject(slot.getSessionHandle(), certificate, handle);
    }

    template <typename Item>
    static std::unique_ptr<Item> owned(Item* item) {
        return std::unique_ptr<Item>(item);
    }

    SoftHSMToken token_;
    OpenSSLTool openssl_;
    std::unique_ptr<ZEPPrivateKeyInfo> privateKey_;
    ZEPBuffer certificate_, subject_, id_;
    std::unique_ptr<PKCS11Manager> manager_;
    std::unique_ptr<SlotManager> slot_;
};

TEST_F(SoftHSMKeyDatabase, ObjectsOfPkcs11ToolListAsKeyAndCertificate) {
    writeWithPkcs11Tool("key.der", "privkey");
    writeWithPkcs11Tool("cert.der", "cert");
    SlotManager& slot = connect();
    slot.login(text(token_.userPin()));

    std::unique_ptr<ZEPSlotManager::Iterator> keys(slot.getKeyIterator());
    auto key = owned(slot.getNextKeyItem(*keys));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(owned(slot.getNextKeyItem(*keys)), nullptr);
    ZEPPKCS11ASNKeyRecord record(key->getKey().getKeyBlob());
    EXPECT_EQ(record.getTokenLabel(), slot.getLabel());
    EXPECT_EQ(record.getTokenLabel().size(), 32u);
    EXPECT_EQ(record.getObjectId(), id_);
    EXPECT_EQ(record.getKeySize(), 1024u);
    EXPECT_TRUE(record.getSubjectName().empty());

    std::unique_ptr<ZEPSlotManager::Iterator> certificates(slot.getCertIterator());
    auto certificate = owned(slot.getNextCertItem(*certificates));
    ASSERT_NE(certificate, nullptr);
    EXPECT_EQ(certificate->getCertificateDER(), certificate_);

    // No public key and no subject on the private key: no pair, no request.
    std::unique_ptr<ZEPSlotManager::Iterator> pairs(slot.getKeyCertIterator());
    EXPECT_EQ(owned(slot.getNextKeyCertItem(*pairs)), nullptr);
    EXPECT_NE(owned(slot.getItem(Index::KeyUniqueIndex::LABEL, labelValue("alice"))), nullptr);
    EXPECT_NE(owned(slot.getItem(Index::CertUniqueIndex::LABEL, labelValue("alice"))), nullptr);
}

// Labels in Latin-1, as pkcs11-tool writes them byte for byte, each list
// as the whole of its bytes.
TEST_F(SoftHSMKeyDatabase, LabelsThatAreNoUTF8ListApart) {
    writeWithPkcs11Tool("cert.der", "cert", "\xE9t\xE9");
    writeWithPkcs11Tool("cert.der", "cert", "\xFF");
    SlotManager& slot = connect();
    slot.login(text(token_.userPin()));
    std::unique_ptr<ZEPSlotManager::Iterator> certificates(slot.getCertIterator());
    std::set<std::string> labels;
    while (auto certificate = owned(slot.getNextCertItem(*certificates))) {
        const ZEPBuffer& label = certificate->getLabel();
        labels.emplace(reinterpret_cast<const char*>(label.getValue()), label.getLength());
    }
    EXPECT_EQ(labels, (std::set<std::string>{"\x0c\x03\xE9t\xE9", "\x0c\x01\xFF"}));
    asn_UTF8String latin1;
    ASSERT_EQ(latin1.set_value(reinterpret_cast<const unsigned char*>("\xFF"), 1), ASN_OK);
    auto found = owned(slot.getItem(Index::CertUniqueIndex::LABEL, latin1));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->getLabel(), ZEPBuffer(3, "\x0c\x01\xFF"));
    EXPECT_EQ(owned(slot.getItem(Index::CertUniqueIndex::LABEL, labelValue(""))), nullptr);
}

TEST_F(SoftHSMKeyDatabase, ObjectsSharingIdAndSubjectArePairs) {
    SlotManager& slot = connect();
    asn_x500name anyValue;
    // Pairs are private: counting them needs a login.
    EXPECT_THROW(slot.getItemCount(Index::KeyCertMultiIndex::ALL, anyValue), ZEPPKCS11Exception);
    slot.login(text(token_.userPin()));
    writeThroughCryptoki("Alice's key", true);

    std::unique_ptr<ZEPSlotManager::Iterator> keys(slot.getKeyIterator());
    auto first = owned(slot.getNextKeyItem(*keys));
    auto second = owned(slot.getNextKeyItem(*keys));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->getKey().getType(), ZEPKRYKey::TYPE_PRIVATE);
    EXPECT_EQ(second->getKey().getType(), ZEPKRYKey::TYPE_PUBLIC);

    auto pair = owned(slot.getItem(Index::KeyCertUniqueIndex::LABEL, labelValue("Alice's key")));
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(pair->getCertificateDER(), certificate_);
    EXPECT_EQ(ZEPPKCS11ASNKeyRecord(pair->getKey().getKeyBlob()).getSubjectName(), subject_);
    x509_certificate decoded;
    ZEPASNUtility::setDEREncoding(certificate_, decoded);
    EXPECT_EQ(slot.getItemCount(Index::KeyCertMultiIndex::SUBJECT_NAME, decoded.get_subject()), 1u);
    EXPECT_EQ(slot.getItemCount(Index::KeyCertMultiIndex::SUBJECT_PUBLIC_KEY_INFO,
                                decoded.get_subject_public_key_info()),
              1u);
    EXPECT_NE(owned(slot.getItem(Index::KeyCertUniqueIndex::SIGNATURE, decoded.get_signature())), nullptr);
    EXPECT_NE(owned(slot.getItem(Index::KeyCertUniqueIndex::ISSUER_AND_SERIAL,
                                 ZEPASNUtility::getIssuerAndSerialNumber(decoded.get_issuer(),
                                                                         decoded.get_serial_number()))),
              nullptr);
    EXPECT_EQ(slot.getItemCount(Index::KeyCertReqMultiIndex::ALL, anyValue), 0u);
}

TEST_F(SoftHSMKeyDatabase, KeyPairWithSubjectAndNoCertificateIsARequest) {
    SlotManager& slot = connect();
    slot.login(text(token_.userPin()));
    writeThroughCryptoki("pending", false);
    std::unique_ptr<ZEPSlotManager::Iterator> requests(slot.getKeyCertReqIterator());
    auto request = owned(slot.getNextKeyCertReqItem(*requests));
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->getSubjectName(), subject_);
    EXPECT_NE(owned(slot.getItem(Index::KeyCertReqUniqueIndex::LABEL, labelValue("pending"))), nullptr);
    x509_certificate decoded;
    ZEPASNUtility::setDEREncoding(certificate_, decoded);
    EXPECT_EQ(slot.getItemCount(Index::KeyCertReqMultiIndex::SUBJECT_NAME, decoded.get_subject()), 1u);
}

}  // namespace
