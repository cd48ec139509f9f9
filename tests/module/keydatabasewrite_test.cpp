// Inserts, updates and deletes of the key database on the test token: the
// objects written, duplicates and the write guard. What a failure at each
// Cryptoki call of a write leaves on the token is the fault sweep's part.
#include <algorithm>

#include "asn/asn_x500name.h"
#include "keydatabasewrites.h"

namespace {

TEST_F(KeyDatabaseWrite, KeysAndCertificatesOfOneKeyPairShareTheIdOfTheirModulus) {
    // A modulus of full length has its top bit set: its INTEGER has a leading
    // 00, which the object's unsigned CKA_MODULUS leaves out.
    ASSERT_TRUE(certificates_->modulus.getValue()[0] & 0x80);
    ASSERT_TRUE(slot().insertItem(keyItem(privateKey(), "private")));
    ASSERT_TRUE(slot().insertItem(keyItem(publicKey(), "public")));
    ASSERT_TRUE(slot().insertItem(certItem(certificates_->first, "certificate")));
    const auto objects = Control::objects(kSlot);
    ASSERT_EQ(objects.size(), 3u);
    for (const testtoken::ObjectInfo& object : objects) {
        EXPECT_EQ(object.attributes.at(CKA_ID), bytesOf(keyId_));
        if (object.attributes.contains(CKA_MODULUS)) {
            EXPECT_EQ(object.attributes.at(CKA_MODULUS), bytesOf(certificates_->modulus));
            EXPECT_EQ(object.attributes.at(CKA_MODIFIABLE), testtoken::boolValue(true));
        }
    }
    // Each object gets all of its template and no more.
    const std::vector<std::vector<CK_ATTRIBUTE_TYPE>> templates = {
        {CKA_CLASS, CKA_TOKEN, CKA_PRIVATE, CKA_LABEL, CKA_KEY_TYPE, CKA_ID, CKA_SENSITIVE, CKA_MODULUS,
         CKA_PUBLIC_EXPONENT, CKA_PRIVATE_EXPONENT, CKA_PRIME_1, CKA_PRIME_2, CKA_EXPONENT_1, CKA_EXPONENT_2,
         CKA_COEFFICIENT, CKA_EXTRACTABLE, CKA_MODIFIABLE},
        {CKA_CLASS, CKA_TOKEN, CKA_PRIVATE, CKA_LABEL, CKA_KEY_TYPE, CKA_ID, CKA_MODULUS, CKA_PUBLIC_EXPONENT,
         CKA_MODIFIABLE},
        {CKA_CLASS, CKA_TOKEN, CKA_LABEL, CKA_VALUE, CKA_CERTIFICATE_TYPE, CKA_SUBJECT, CKA_ID}};
    const std::vector<testtoken::CallRecord> created = Control::callsOf("C_CreateObject");
    ASSERT_EQ(created.size(), templates.size());
    for (size_t i = 0; i < templates.size(); ++i) EXPECT_EQ(created[i].attributeTypes, templates[i]) << i;
    // The imported private key never leaves the token.
    const Attributes& imported = objects[0].attributes;
    EXPECT_EQ(std::pair(imported.at(CKA_SENSITIVE), imported.at(CKA_EXTRACTABLE)),
              std::pair(testtoken::boolValue(true), testtoken::boolValue(false)));
    // A key+certificate insert reads back as that pair.
    ASSERT_TRUE(slot().insertItem(
        ZEPKeyCertItem(keyItem(privateKey(), "pair"), certItem(certificates_->otherSerial, "pair"))));
    std::unique_ptr<ZEPKeyCertItem> pair(slot().getItem(Index::KeyCertUniqueIndex::LABEL, labelValue("pair")));
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(pair->getCertificateDER(), certificates_->otherSerial);

    // A key that stays on the token is named by its record's id, no digest.
    EXPECT_EQ(SlotManagerUtility::makeObjectId(tokenKey(shortId(), alice_)), shortId());
    // A given id is written as it is, and so is a label that is plain text.
    CK_OBJECT_HANDLE handle = 0;
    SlotManagerUtility::makeKeyItem(slot(), ZEPKeyItem(publicKey(), bufferOf("plain")), handle, bufferOf("given id"),
                                    ZEPBuffer());
    EXPECT_EQ(attribute(handle, CKA_ID), testtoken::textValue("given id"));
    EXPECT_EQ(attribute(handle, CKA_LABEL), testtoken::textValue("plain"));
}

// An EC key pair and its certificate, all made by openssl, share openssl's
// key identifier as CKA_ID, and the public key holds the point openssl
// prints. (SoftHSM2 signs with the private key.) A private key without its
// point gets no id of its own.
TEST_F(KeyDatabaseWrite, ECKeysAndCertificatesShareTheIdOfTheirPoint) {
    OpenSSLTool openssl;
    openssl.copySharedKey("ec384.pem", "key.pem");
    openssl.must("req -new -x509 -key key.pem -subj /CN=ec -outform DER -out cert.der");
    const std::string keyId = openssl.must("x509 -inform DER -in cert.der -noout -ext subjectKeyIdentifier");
    const std::string text = openssl.must("pkey -in key.pem -noout -text");
    const auto ecKey = [](int type, int format, const ZEPBuffer& blob) {
        return ZEPKRYKey(type, ZEPKRYKey::ALGORITHM_EC, format, blob);
    };
    ASSERT_TRUE(slot().insertItem(keyItem(
        ecKey(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO, OpenSSLTool::sharedKey("ec384.p8")), "p")));
    ASSERT_TRUE(slot().insertItem(keyItem(
        ecKey(ZEPKRYKey::TYPE_PUBLIC, ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO, OpenSSLTool::sharedKey("ec384.spki")),
        "k")));
    ASSERT_TRUE(slot().insertItem(certItem(openssl.readFile("cert.der"), "c")));
    const auto objects = Control::objects(kSlot);
    ASSERT_EQ(objects.size(), 3u);
    for (const testtoken::ObjectInfo& object : objects)
        EXPECT_EQ(object.attributes.at(CKA_ID), bytesOf(OpenSSLTool::hexBytes(keyId.substr(keyId.find('\n') + 1))));
    const size_t pub = text.find("pub:") + 4;
    AttributeValue point = bytesOf(OpenSSLTool::hexBytes(text.substr(pub, text.find("ASN1") - pub)));
    point.insert(point.begin(), {0x04, static_cast<CK_BYTE>(point.size())});
    EXPECT_EQ(objects[1].attributes.at(CKA_EC_POINT), point);

    openssl.must("ec -in key.pem -no_public -out bare.pem");
    openssl.must("pkcs8 -topk8 -nocrypt -in bare.pem -outform DER -out bare.p8");
    const ZEPKRYKey bare =
        ecKey(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO, openssl.readFile("bare.p8"));
    expectFailure([&] { slot().insertItem(keyItem(bare, "b")); }, 571004,
                  "An EC private key without its public point gets no CKA_ID.");
}

TEST_F(KeyDatabaseWrite, DuplicatesAreRefusedAndCreateNothing) {
    ASSERT_TRUE(slot().insertItem(certItem(certificates_->first, "alice")));
    ASSERT_TRUE(slot().insertItem(keyItem(privateKey(), "key")));
    const Objects before = objectsNow(kSlot);
    Control::clearCalls();
    expectFailure([&] { slot().insertItem(certItem(certificates_->first, "alice")); }, 577009, "");
    expectFailure([&] { slot().insertItem(certItem(certificates_->first, "again")); }, 577010, "");
    expectFailure(
        [&] {
            slot().insertItem(ZEPKeyCertItem(keyItem(privateKey(), "again"), certItem(certificates_->first, "again")));
        },
        577010, "");
    expectFailure([&] { slot().insertItem(keyItem(privateKey(), "key")); }, 577009, "");
    expectFailure([&] { slot().insertItem(requestItem(privateKey(), alice_, "key")); }, 577009, "");
    EXPECT_EQ(Control::callCount("C_CreateObject"), 0u);
    EXPECT_EQ(objectsNow(kSlot), before);
    // A new serial number from the same issuer for the same subject is another certificate.
    EXPECT_TRUE(slot().insertItem(certItem(certificates_->otherSerial, "renewed")));
}

TEST_F(KeyDatabaseWrite, UpdatesChangeOnlyWhatDiffers) {
    const CK_OBJECT_HANDLE key = addKey(CKO_PRIVATE_KEY, "key", keyId_, alice_);
    // A pair without its certificate is not updated; both its objects are looked for.
    Control::clearCalls();
    EXPECT_FALSE(slot().updateItem(pairItem(certificates_->first, "key"), pairItem(certificates_->first, "new")));
    EXPECT_EQ(Control::callCount("C_FindObjectsInit"), 2u);
    const CK_OBJECT_HANDLE certificate = addCertificate(certificates_->first, "alice", keyId_);
    // Equal labels: nothing to change, so the key types are not compared.
    EXPECT_FALSE(slot().updateItem(keyItem(privateKey(), "key"), keyItem(publicKey(), "key")));
    expectFailure([&] { slot().updateItem(keyItem(privateKey(), "key"), keyItem(publicKey(), "new")); }, 571002,
                  "The old and new key types must be the same");
    EXPECT_FALSE(slot().updateItem(certItem(certificates_->first, "alice"), certItem(certificates_->first, "alice")));
    EXPECT_EQ(Control::callCount("C_SetAttributeValue"), 0u);
    EXPECT_TRUE(slot().updateItem(certItem(certificates_->first, "alice"), certItem(certificates_->first, "renamed")));
    EXPECT_EQ(attribute(certificate, CKA_LABEL), testtoken::textValue("renamed"));
    EXPECT_EQ(attribute(key, CKA_LABEL), testtoken::textValue("key"));
    EXPECT_EQ(Control::callCount("C_CreateObject"), 0u);
}

// Whatever id another tool gave the keys, they take the certificate's.
TEST_F(KeyDatabaseWrite, RequestWithItsCertificateStoredIsAPairAndNoLongerARequest) {
    addPair("request", ZEPBuffer(), shortId());
    EXPECT_TRUE(slot().updateItem(requestItem(tokenKey(shortId(), alice_), alice_, "request"),
                                  certItem(certificates_->first, "alice")));
    std::unique_ptr<ZEPKeyCertItem> pair(slot().getItem(Index::KeyCertUniqueIndex::LABEL, labelValue("alice")));
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(pair->getCertificateDER(), certificates_->first);
    // Asked to delete it as a request, by its new id, it deletes nothing.
    const Objects before = objectsNow(kSlot);
    EXPECT_FALSE(slot().deleteItem(requestItem(tokenKey(keyId_, alice_), alice_, "alice")));
    EXPECT_EQ(objectsNow(kSlot), before);
}

TEST_F(KeyDatabaseWrite, KeysThatCannotBeWrittenAreRefusedBeforeCreation) {
    struct Case {
        int algorithm, format;
        std::string message;
    } cases[] = {
        {4, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO, "Only RSA and DSA key algorithms are supported."},
        {ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_CLEAR_BUFFER,
         "Can not insert keys with format=FORMAT_CLEAR_BUFFER"},
        {ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_NONE, "Can not insert keys with format=FORMAT_NONE"},
        {ZEPKRYKey::ALGORITHM_RSA, 7, "Can not insert keys with format="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const ZEPKRYKey key(ZEPKRYKey::TYPE_PRIVATE, c.algorithm, c.format, OpenSSLTool::sharedKey("rsa1024.p8"));
        expectFailure([&] { slot().insertItem(keyItem(key, "key")); }, 571004, c.message);
    }
    // A key that stays on the token is written by naming its object.
    expectFailure([&] { slot().insertItem(keyItem(tokenKey(bufferOf("gone"), alice_), "named")); }, 577005,
                  "Private key was not found.");
    EXPECT_EQ(Control::callCount("C_CreateObject"), 0u);
}

TEST_F(KeyDatabaseWrite, EachWriteMakesItsWritesOnItsObjectsInOrder) {
    for (const WriteCase& write : writeCases()) {
        SCOPED_TRACE(write.name);
        restart();
        write.setUp();
        std::vector<CK_OBJECT_HANDLE> objects;
        for (const testtoken::ObjectInfo& object : Control::objects(kSlot)) objects.push_back(object.handle);
        Control::clearCalls();
        EXPECT_EQ(write.write(slot()), !write.writes.empty());
        std::vector<Write> made;
        for (const testtoken::CallRecord& call : Control::calls()) {
            if (!isWrite(call.function)) continue;
            const bool created = call.function == "C_CreateObject", set = call.function == "C_SetAttributeValue";
            if (created) objects.push_back(call.arg("phObject.out"));
            const CK_OBJECT_HANDLE object = created ? objects.back() : call.arg("hObject");
            made.push_back({call.function, static_cast<size_t>(std::ranges::find(objects, object) - objects.begin()),
                            set ? call.attributeTypes : std::vector<CK_ATTRIBUTE_TYPE>()});
        }
        EXPECT_EQ(made, write.writes);
        // Every label written is the item's text, never its DER.
        const Objects after = objectsNow(kSlot);
        for (const Write& w : made) {
            const auto object = after.find(objects.at(w.object));
            if (object == after.end() || !object->second.contains(CKA_LABEL)) continue;
            const AttributeValue& label = object->second.at(CKA_LABEL);
            EXPECT_TRUE(std::ranges::all_of(label, [](CK_BYTE c) { return c >= 'a' && c <= 'z'; })) << w.object;
        }
    }
}

TEST_F(KeyDatabaseWrite, WritesNeedAReadWriteSessionWithLogin) {
    struct Access {
        const char* name;
        int sessionType;
        bool login;
    };
    for (const Access access : {Access{"read-only session", 0, true}, Access{"no login", 1, false}}) {
        for (const WriteCase& write : writeCases()) {
            SCOPED_TRACE(std::string(access.name) + ": " + write.name);
            restart(access.sessionType, access.login);
            write.setUp();
            const Objects before = objectsNow(kSlot);
            Control::clearCalls();
            try {
                write.write(slot());
                ADD_FAILURE() << "written";
            } catch (const ZEPPKCS11Exception& e) {
                EXPECT_EQ(e.getCode(), 577007);
                // Without a login a pair lookup refuses first, with its own words.
                if (write.guardFirst || access.login) {
                    EXPECT_EQ(e.getMessage().str(), "Token is write protected or login is required.");
                }
            }
            EXPECT_EQ(objectsNow(kSlot), before);
            if (write.guardFirst) {
                EXPECT_EQ(Control::callCount("C_FindObjectsInit"), 0u);
            }
        }
    }
}

}  // namespace
