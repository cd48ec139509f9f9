// The token-backed algorithms on SoftHSM2, checked with openssl and
// pkcs11-tool: signatures verify, ciphertexts decrypt both ways, generated
// pairs are named alike and requests signed on the token verify.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>

#include "asn/x509_certificate.h"
#include "asn/zepasnutility.h"
#include "attributetemplate.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrydecryptionalgorithm.h"
#include "kry/zepkryencryptionalgorithm.h"
#include "kry/zepkrykeypair.h"
#include "kry/zepkrypublickeygenalgorithm.h"
#include "kry/zepkrysignaturealgorithm.h"
#include "mechanisminfolist.h"
#include "openssltool.h"
#include "pkcs11client.h"
#include "pkcs11manager.h"
#include "slotmanager.h"
#include "slotmanagerutility.h"
#include "softhsmtest.h"
#include "zeputility.h"

namespace {

ZEPBuffer text(const std::string& value) { return ZEPBuffer(value.size(), value.data()); }

class SoftHSMAlgorithms : public ::testing::Test {
protected:
    SoftHSMAlgorithms() { connect(); }

    // Connects to the fixture's token and logs in, with a read-write session.
    void connect() {
        slot_.reset();
        // The last reference finalises the library: the next initialisation
        // reads the configuration again.
        manager_.reset();
        manager_ = std::make_unique<PKCS11Manager>(ZEPPKCS11ConnectInfo(SoftHSMToken::libraryPath().c_str()));
        std::vector<CK_SLOT_ID> slots;
        manager_->getSlotIds(slots);
        for (CK_SLOT_ID id : slots) {
            slot_.reset(static_cast<SlotManager*>(manager_->getSlotManager(id, 1)));
            if (slot_->isTokenPresent() && slot_->getLabel().str().rfind(token_.label() + " ", 0) == 0) break;
        }
        slot_->login(text(token_.userPin()));
        factory_.reset(slot_->getZEPKRYAlgorithmFactory());
    }

    // A key pair generated through the factory; `id_` holds its CKA_ID in
    // lower-case hexadecimal, as pkcs11-tool prints it.
    ZEPKRYKeyPair generate() {
        std::unique_ptr<ZEPKRYPublicKeyGenAlgorithm> generator(factory_->make_RSA_PublicKeyGenAlgorithm(1024));
        ZEPKRYKeyPair pair = generator->generateKeyPair();
        id_ = ZEPUtility::binaryToHexString(ZEPPKCS11ASNKeyRecord(pair.getPrivateKey().getKeyBlob()).getObjectId()).str();
        return pair;
    }

    std::string pkcs11Tool(const std::string& arguments) { return runPkcs11Tool(token_, arguments); }

    // The generated public key as pkcs11-tool reads it back: the path of its
    // DER SubjectPublicKeyInfo.
    std::string readPublicKey() {
        const std::string file = path("public.der");
        pkcs11Tool("--read-object --type pubkey --id " + id_ + " -o " + file);
        return file;
    }

    std::string path(const std::string& name) const { return token_.folder() + "/" + name; }

    std::string write(const std::string& name, const ZEPBuffer& bytes) const {
        std::ofstream(path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.getValue()), static_cast<std::streamsize>(bytes.getLength()));
        return path(name);
    }

    ZEPBuffer sign(bool md5, const ZEPKRYKey& key, const ZEPBuffer& data) {
        std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(md5 ? factory_->make_MD5WithRSA_SignatureAlgorithm(key)
                                                              : factory_->make_SHA1WithRSA_SignatureAlgorithm(key));
        return signer->signData(data.get());
    }

    CK_OBJECT_HANDLE object(CK_OBJECT_CLASS objectClass, const ZEPBuffer& id) {
        CK_OBJECT_HANDLE handle = 0;
        EXPECT_TRUE(SlotManagerUtility::findItem(*slot_, objectClass, MATCH_ID, id, handle));
        return handle;
    }

    SoftHSMToken token_;
    OpenSSLTool openssl_;
    std::unique_ptr<PKCS11Manager> manager_;
    std::unique_ptr<SlotManager> slot_;
    std::unique_ptr<ZEPKRYAlgorithmFactory> factory_;
    std::string id_;
};

TEST_F(SoftHSMAlgorithms, SignaturesVerifyWithOpenSSLAndComeOutTheSameThroughTheDigestInfo) {
    const ZEPKRYKey privateKey = generate().getPrivateKey();
    const std::string publicKey = readPublicKey();
    const ZEPBuffer data = text("signed on the token");
    const std::string dataFile = write("data", data);
    ZEPBuffer signatures[2];
    for (bool md5 : {false, true}) {
        signatures[md5] = sign(md5, privateKey, data);
        openssl_.must(std::string("dgst ") + (md5 ? "-md5" : "-sha1") + " -verify " + publicKey +
                      " -keyform DER -signature " + write("signature", signatures[md5]) + " " + dataFile);
    }

    // The same token offering only CKM_RSA_PKCS: the DigestInfo way.
    token_.restrictMechanisms("CKM_RSA_PKCS,CKM_RSA_PKCS_KEY_PAIR_GEN");
    factory_.reset();
    connect();
    const MechanismInfoList mechanisms(*slot_);
    ASSERT_FALSE(mechanisms.contains(CKM_SHA1_RSA_PKCS) || mechanisms.contains(CKM_MD5_RSA_PKCS));
    for (bool md5 : {false, true}) EXPECT_EQ(sign(md5, privateKey, data), signatures[md5]) << (md5 ? "MD5" : "SHA-1");
}

TEST_F(SoftHSMAlgorithms, GeneratedPairIsNamedByTheSha1OfItsModulus) {
    generate();
    const std::string modulus = openssl_.must("rsa -pubin -inform DER -in " + readPublicKey() + " -noout -modulus");
    openssl_.writeFile("modulus.bin", OpenSSLTool::hexBytes(modulus.substr(modulus.find('=') + 1)));
    EXPECT_EQ(id_, openssl_.must("dgst -sha1 -r modulus.bin").substr(0, 40));

    // pkcs11-tool lists both objects with that id and one label, the DER
    // UTF8String (0c 28) of the id's hexadecimal text.
    const std::string objects = pkcs11Tool("--list-objects --type pubkey") + pkcs11Tool("--list-objects --type privkey");
    const std::string label = "label:      \x0c(" + id_ + "\n", id = "ID:         " + id_ + "\n";
    for (const std::string& line : {label, id}) {
        const size_t first = objects.find(line);
        ASSERT_NE(first, std::string::npos) << line << " in\n" << objects;
        EXPECT_NE(objects.find(line, first + 1), std::string::npos) << line << " twice in\n" << objects;
    }
}

TEST_F(SoftHSMAlgorithms, OpenSSLAndTheTokenDecryptEachOthersCiphertexts) {
    const ZEPKRYKey privateKey = generate().getPrivateKey();
    const ZEPBuffer secret = text("a secret of some bytes");
    openssl_.writeFile("secret", secret);
    openssl_.must("pkeyutl -encrypt -pubin -keyform DER -inkey " + readPublicKey() + " -in secret -out secret.enc");
    std::unique_ptr<ZEPKRYDecryptionAlgorithm> decryption(factory_->make_RSAPKCS_DecryptionAlgorithm(privateKey, nullptr));
    EXPECT_EQ(decryption->decryptData(openssl_.readFile("secret.enc").get()), secret);

    // Generated public keys may not encrypt: an encrypting one of openssl's
    // key, named by a key record, encrypts for openssl to decrypt.
    openssl_.copySharedKey("rsa1024.pem", "key.pem");
    const std::string modulus = openssl_.must("rsa -in key.pem -noout -modulus");
    AttributeTemplate attributes;
    attributes.setULong(CKA_CLASS, CKO_PUBLIC_KEY);
    attributes.setULong(CKA_KEY_TYPE, CKK_RSA);
    attributes.setBool(CKA_TOKEN, false);
    attributes.setBool(CKA_ENCRYPT, true);
    attributes.setAttribute(CKA_ID, text("openssl"));
    attributes.setAttribute(CKA_MODULUS, OpenSSLTool::hexBytes(modulus.substr(modulus.find('=') + 1)));
    attributes.setAttribute(CKA_PUBLIC_EXPONENT, ZEPBuffer(3, "\x01\x00\x01"));
    CK_OBJECT_HANDLE created = 0;
    slot_->getClient()->createObject(slot_->getSessionHandle(), attributes, created);
    const ZEPKRYKey publicKey(ZEPKRYKey::TYPE_PUBLIC, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD,
                              ZEPPKCS11ASNKeyRecord(slot_->getLabel(), text("openssl"), 1024, ZEPBuffer()).getBuffer());
    std::unique_ptr<ZEPKRYEncryptionAlgorithm> encryption(factory_->make_RSAPKCS_EncryptionAlgorithm(publicKey));
    openssl_.writeFile("token.enc", encryption->encryptData(secret.get()));
    EXPECT_EQ(openssl_.must("pkeyutl -decrypt -inkey key.pem -in token.enc"), "a secret of some bytes");
}

TEST_F(SoftHSMAlgorithms, RequestOfATokenKeyPairIsSignedOnTheTokenAndVerifies) {
    generate();
    openssl_.copySharedKey("rsa1024.pem", "key.pem");
    openssl_.must("req -new -x509 -key key.pem -subj /CN=Token/O=Example -outform DER -out cert.der");
    x509_certificate certificate;
    ZEPASNUtility::setDEREncoding(openssl_.readFile("cert.der"), certificate);
    AttributeTemplate subject;
    subject.setAttribute(CKA_SUBJECT, ZEPASNUtility::getDEREncoding(certificate.get_subject()));
    const ZEPBuffer id = OpenSSLTool::hexBytes(id_);
    const CK_OBJECT_HANDLE privateKey = object(CKO_PRIVATE_KEY, id);
    for (CK_OBJECT_HANDLE key : {object(CKO_PUBLIC_KEY, id), privateKey})
        slot_->getClient()->setAttributeValue(slot_->getSessionHandle(), key, subject);

    std::unique_ptr<ZEPKeyCertReqItem> request(SlotManagerUtility::makeKeyCertReqItem(*slot_, privateKey));
    ASSERT_NE(request, nullptr);
    openssl_.writeFile("request.der", request->getSignedRequestDER());
    EXPECT_EQ(openssl_.must("req -inform DER -in request.der -verify -noout -subject -nameopt RFC2253"),
              "subject=O=Example,CN=Token\n");
}

// Searches on the shared session wait for a signature to end: the token
// allows no search while a signing operation is active on the session.
TEST_F(SoftHSMAlgorithms, SignaturesAndSearchesOnCopiesOfOneSlotManagerDoNotCollide) {
    const ZEPKRYKey privateKey = generate().getPrivateKey();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            SlotManager copy(*slot_);
            std::unique_ptr<ZEPKRYAlgorithmFactory> factory(copy.getZEPKRYAlgorithmFactory());
            std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(factory->make_SHA1WithRSA_SignatureAlgorithm(privateKey));
            for (int i = 0; i < 400; ++i) {
                try {
                    if (t % 2 == 0) {
                        signer->signData(text("data").get());
                    } else {
                        std::vector<CK_OBJECT_HANDLE> handles;
                        SlotManagerUtility::findAllItems(copy, CKO_PUBLIC_KEY, handles, MATCH_ALL, ZEPBuffer());
                    }
                } catch (const ZEPException&) {
                    ++failures;
                }
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, 0);
}

}  // namespace
