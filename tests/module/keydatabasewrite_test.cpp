// Inserts, updates and deletes of the key database on the test token: the
// objects written, duplicates, the write guard and what a failure at each
// Cryptoki call of a write leaves on the token.
#include <functional>
#include <map>

#include "asn/asn_string.h"
#include "asn/asn_x500name.h"
#include "keydatabasetest.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkrykey.h"

namespace {

using Index = ZEPSlotManager;
using Objects = std::map<CK_OBJECT_HANDLE, Attributes>;

asn_UTF8String labelValue(const std::string& text) {
    asn_UTF8String label;
    label.set_text(text);
    return label;
}

Objects objectsNow(CK_SLOT_ID slot) {
    Objects objects;
    for (const testtoken::ObjectInfo& object : testtoken::Control::objects(slot))
        objects.emplace(object.handle, object.attributes);
    return objects;
}

bool isWrite(const std::string& function) {
    return function == "C_CreateObject" || function == "C_SetAttributeValue" || function == "C_DestroyObject";
}

std::vector<std::string> functionsOf(const std::vector<testtoken::CallRecord>& calls, bool writesOnly) {
    std::vector<std::string> functions;
    for (const testtoken::CallRecord& call : calls)
        if (!writesOnly || isWrite(call.function)) functions.push_back(call.function);
    return functions;
}

// The code a failure of the function throws, by function group.
long familyOf(const std::string& function) {
    if (function == "C_GetTokenInfo") return 577903;
    if (function == "C_GetSessionInfo") return 577904;
    return 577905;
}

class KeyDatabaseWrite : public KeyDatabaseTest {
protected:
    static void SetUpTestSuite() {
        KeyDatabaseTest::SetUpTestSuite();
        OpenSSLTool openssl;
        openssl.copySharedKey("rsa1024.pem", "key.pem");
        openssl.must("req -new -x509 -key key.pem -subj /CN=Bob -days 10 -outform DER -out bob.der");
        bobCertificate_ = openssl.readFile("bob.der");
        // openssl prints the modulus without a leading zero.
        openssl.writeFile("modulus.bin", certificates_->modulus);
        keyId_ = OpenSSLTool::hexBytes(openssl.must("dgst -sha1 -r modulus.bin").substr(0, 40));
        alice_ = subjectOf(certificates_->first);
    }

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
    static ZEPKeyItem keyItem(const ZEPKRYKey& key, const std::string& label) {
        return ZEPKeyItem(key, bufferOf(label));
    }
    static ZEPCertItem certItem(const ZEPBuffer& der, const std::string& label) {
        return ZEPCertItem(der, bufferOf(label));
    }
    // The pair the objects of addPair form.
    static ZEPKeyCertItem pairItem(const ZEPBuffer& der, const std::string& label) {
        return ZEPKeyCertItem(keyItem(tokenKey(keyId_, alice_), label), certItem(der, label));
    }
    static ZEPKeyCertReqItem requestItem(const ZEPKRYKey& privateKey, const ZEPBuffer& subject,
                                         const std::string& label) {
        return ZEPKeyCertReqItem(publicKey(), privateKey, subject, bufferOf(label));
    }
    // A key pair of CN=Alice,O=Example, with its certificate when one is given.
    static void addPair(const std::string& label, const ZEPBuffer& certificate = ZEPBuffer()) {
        if (!certificate.empty()) addCertificate(certificate, label, keyId_);
        addKey(CKO_PRIVATE_KEY, label, keyId_, alice_);
        addKey(CKO_PUBLIC_KEY, label, keyId_, alice_);
    }

    static AttributeValue attribute(CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type) {
        return Control::object(kSlot, object).attributes.at(type);
    }

    // One write of the key database: what is on the token before, the write,
    // and the Cryptoki writes it makes on a good run, in order.
    struct WriteCase {
        const char* name;
        std::function<void()> setUp;
        std::function<void(SlotManager&)> write;
        std::vector<std::string> writes;
        // Lookups by index search before the item's write guard is reached.
        bool guardFirst = true;
    };
    static std::vector<WriteCase> writeCases();

    struct Outcome {
        Objects before, after;
        std::vector<testtoken::CallRecord> calls;
        std::optional<long> code;
        std::optional<CK_RV> returnValue;
    };
    // Runs the write on a fresh token after `inject` has planned its faults.
    Outcome run(const WriteCase& write, const std::function<void()>& inject = {}) {
        restart();
        write.setUp();
        Outcome outcome;
        outcome.before = objectsNow(kSlot);
        Control::clearCalls();
        if (inject) inject();
        try {
            write.write(slot());
        } catch (const ZEPPKCS11Exception& e) {
            outcome.code = e.getCode();
            if (e.hasReturnValue()) outcome.returnValue = e.getReturnValue();
        }
        outcome.after = objectsNow(kSlot);
        outcome.calls = Control::calls();
        return outcome;
    }

    static ZEPBuffer keyId_, alice_, bobCertificate_;
};

ZEPBuffer KeyDatabaseWrite::keyId_, KeyDatabaseWrite::alice_, KeyDatabaseWrite::bobCertificate_;

std::vector<KeyDatabaseWrite::WriteCase> KeyDatabaseWrite::writeCases() {
    const ZEPBuffer& first = certificates_->first;
    const ZEPBuffer& other = certificates_->otherSerial;
    const std::string create = "C_CreateObject", set = "C_SetAttributeValue", destroy = "C_DestroyObject";
    return {
        {"insert a key", [] {}, [](SlotManager& s) { s.insertItem(keyItem(privateKey(), "key")); }, {create}},
        {"insert a certificate", [] {}, [&](SlotManager& s) { s.insertItem(certItem(first, "alice")); }, {create}},
        {"insert a pair: certificate, private key, then the public key takes label and subject",
         [] { addKey(CKO_PUBLIC_KEY, "public", keyId_, alice_); },
         [&](SlotManager& s) { s.insertItem(ZEPKeyCertItem(keyItem(privateKey(), "pair"), certItem(first, "pair"))); },
         {create, create, set}},
        {"insert a request: private key, then public key",
         [] {},
         [](SlotManager& s) { s.insertItem(requestItem(privateKey(), alice_, "request")); },
         {create, create}},
        {"insert a request for a generated pair: the keys are named, not created",
         [] {
             addKey(CKO_PRIVATE_KEY, "generated", bufferOf("g"), ZEPBuffer());
             addKey(CKO_PUBLIC_KEY, "generated", bufferOf("g"), ZEPBuffer());
         },
         [](SlotManager& s) { s.insertItem(requestItem(tokenKey(bufferOf("g"), ZEPBuffer()), alice_, "request")); },
         {set, set}},
        {"relabel a key",
         [] { addKey(CKO_PRIVATE_KEY, "old", keyId_, alice_); },
         [](SlotManager& s) { s.updateItem(keyItem(privateKey(), "old"), keyItem(privateKey(), "new")); },
         {set}},
        {"replace a certificate: the new one is created before the old one goes",
         [&] { addCertificate(first, "alice", keyId_); },
         [&](SlotManager& s) { s.updateItem(certItem(first, "alice"), certItem(other, "alice")); },
         {create, destroy}},
        {"replace and relabel a pair: certificate swapped, then private key, public key, certificate",
         [&] { addPair("pair", first); },
         [&](SlotManager& s) { s.updateItem(pairItem(first, "pair"), pairItem(other, "renamed")); },
         {create, destroy, set, set, set}},
        {"change a request: public key, then private key",
         [] { addPair("request"); },
         [&](SlotManager& s) {
             s.updateItem(requestItem(tokenKey(keyId_, alice_), alice_, "request"),
                          requestItem(tokenKey(keyId_, alice_), subjectOf(bobCertificate_), "renamed"));
         },
         {set, set}},
        {"store the certificate of a request: certificate, then public and private key",
         [] { addPair("request"); },
         [&](SlotManager& s) {
             s.updateItem(requestItem(tokenKey(keyId_, alice_), alice_, "request"), certItem(first, "alice"));
         },
         {create, set, set}},
        {"delete a key",
         [] { addKey(CKO_PUBLIC_KEY, "public", keyId_, alice_); },
         [](SlotManager& s) { s.deleteItem(keyItem(publicKey(), "public")); },
         {destroy}},
        {"delete a certificate",
         [&] { addCertificate(first, "alice", keyId_); },
         [&](SlotManager& s) { s.deleteItem(certItem(first, "alice")); },
         {destroy}},
        {"delete a pair: certificate, private key, public key",
         [&] { addPair("pair", first); },
         [&](SlotManager& s) { s.deleteItem(pairItem(first, "pair")); },
         {destroy, destroy, destroy}},
        {"delete a request: public key, then private key",
         [] { addPair("request"); },
         [](SlotManager& s) { s.deleteItem(requestItem(tokenKey(keyId_, alice_), alice_, "request")); },
         {destroy, destroy}},
        {"delete a pair by label",
         [&] { addPair("pair", first); },
         [](SlotManager& s) { s.deleteItem(Index::KeyCertUniqueIndex::LABEL, labelValue("pair")); },
         {destroy, destroy, destroy},
         false},
        {"delete the certificates of a subject",
         [&] {
             addCertificate(first, "first", keyId_);
             addCertificate(bobCertificate_, "bob", keyId_);
             addCertificate(other, "other", keyId_);
         },
         [&](SlotManager& s) {
             x509_certificate certificate;
             ZEPASNUtility::setDEREncoding(first, certificate);
             s.deleteItems(Index::CertMultiIndex::SUBJECT_NAME, certificate.get_subject());
         },
         {destroy, destroy},
         false},
    };
}

TEST_F(KeyDatabaseWrite, KeysAndCertificatesOfOneKeyPairShareTheIdOfTheirModulus) {
    // A modulus of full length has its top bit set: its INTEGER has a leading 00.
    ASSERT_TRUE(certificates_->modulus.getValue()[0] & 0x80);
    AttributeValue signedModulus = bytesOf(certificates_->modulus);
    signedModulus.insert(signedModulus.begin(), 0x00);
    ASSERT_TRUE(slot().insertItem(keyItem(privateKey(), "private")));
    ASSERT_TRUE(slot().insertItem(keyItem(publicKey(), "public")));
    ASSERT_TRUE(slot().insertItem(certItem(certificates_->first, "certificate")));
    const auto objects = Control::objects(kSlot);
    ASSERT_EQ(objects.size(), 3u);
    for (const testtoken::ObjectInfo& object : objects) {
        EXPECT_EQ(object.attributes.at(CKA_ID), bytesOf(keyId_));
        if (object.attributes.contains(CKA_MODULUS)) {
            EXPECT_EQ(object.attributes.at(CKA_MODULUS), signedModulus);
        }
    }
    // A key+certificate insert reads back as that pair.
    ASSERT_TRUE(slot().insertItem(
        ZEPKeyCertItem(keyItem(privateKey(), "pair"), certItem(certificates_->otherSerial, "pair"))));
    std::unique_ptr<ZEPKeyCertItem> pair(slot().getItem(Index::KeyCertUniqueIndex::LABEL, labelValue("pair")));
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(pair->getCertificateDER(), certificates_->otherSerial);

    // A given id is written as it is.
    CK_OBJECT_HANDLE handle = 0;
    SlotManagerUtility::makeKeyItem(slot(), keyItem(publicKey(), "given"), handle, bufferOf("given id"), ZEPBuffer());
    EXPECT_EQ(attribute(handle, CKA_ID), testtoken::textValue("given id"));
}

TEST_F(KeyDatabaseWrite, KeyOnTheTokenIsRelabelledInsteadOfCreated) {
    const CK_OBJECT_HANDLE key = addKey(CKO_PRIVATE_KEY, "generated", bufferOf("g"), ZEPBuffer());
    Control::clearCalls();
    EXPECT_TRUE(slot().insertItem(keyItem(tokenKey(bufferOf("g"), alice_), "named")));
    EXPECT_EQ(Control::callCount("C_CreateObject"), 0u);
    EXPECT_EQ(Control::objects(kSlot).size(), 1u);
    EXPECT_EQ(attribute(key, CKA_LABEL), testtoken::textValue("named"));
    EXPECT_TRUE(attribute(key, CKA_SUBJECT).empty());
    expectFailure([&] { slot().insertItem(keyItem(tokenKey(bufferOf("gone"), alice_), "named")); }, 577005,
                  "Private key was not found.");
}

TEST_F(KeyDatabaseWrite, DuplicateCertificateIsRefusedAndCreatesNothing) {
    ASSERT_TRUE(slot().insertItem(certItem(certificates_->first, "alice")));
    const Objects before = objectsNow(kSlot);
    Control::clearCalls();
    expectFailure([&] { slot().insertItem(certItem(certificates_->first, "alice")); }, 577009, "");
    expectFailure([&] { slot().insertItem(certItem(certificates_->first, "again")); }, 577010, "");
    expectFailure(
        [&] {
            slot().insertItem(ZEPKeyCertItem(keyItem(privateKey(), "again"), certItem(certificates_->first, "again")));
        },
        577010, "");
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

TEST_F(KeyDatabaseWrite, RequestWithItsCertificateStoredIsAPairAndNoLongerARequest) {
    addPair("request");
    const ZEPKeyCertReqItem request = requestItem(tokenKey(keyId_, alice_), alice_, "request");
    EXPECT_TRUE(slot().updateItem(request, certItem(certificates_->first, "alice")));
    std::unique_ptr<ZEPKeyCertItem> pair(slot().getItem(Index::KeyCertUniqueIndex::LABEL, labelValue("alice")));
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(pair->getCertificateDER(), certificates_->first);
    const Objects before = objectsNow(kSlot);
    EXPECT_FALSE(slot().deleteItem(request));
    EXPECT_EQ(objectsNow(kSlot), before);
}

TEST_F(KeyDatabaseWrite, DeleteItemsBySubjectDeletesExactlyThatSubjectsItems) {
    addCertificate(certificates_->first, "first", keyId_);
    const CK_OBJECT_HANDLE bob = addCertificate(bobCertificate_, "bob", keyId_);
    addCertificate(certificates_->otherSerial, "other", keyId_);
    x509_certificate certificate;
    ZEPASNUtility::setDEREncoding(certificates_->first, certificate);
    const ZEPDeleteResult result = slot().deleteItems(Index::CertMultiIndex::SUBJECT_NAME, certificate.get_subject());
    EXPECT_EQ(result.deleted, 2u);
    EXPECT_EQ(result.reserved, 0u);
    const auto left = Control::objects(kSlot);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].handle, bob);
}

TEST_F(KeyDatabaseWrite, KeysThatCannotBeWrittenAreRefusedBeforeCreation) {
    struct Case {
        int algorithm, format;
        std::string message;
    } cases[] = {
        {3, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO, "Only RSA and DSA key algorithms are supported."},
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
    EXPECT_EQ(Control::callCount("C_CreateObject"), 0u);
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

// A failure at any Cryptoki call of a write escapes with the code of the
// function's group and leaves the token as the writes before that call left
// it: nothing is undone and nothing more is written. A search call is failed
// after it delivered, since one that delivers nothing ends the search.
TEST_F(KeyDatabaseWrite, FailureAtEachCallLeavesExactlyTheWritesBeforeIt) {
    for (const WriteCase& write : writeCases()) {
        SCOPED_TRACE(write.name);
        const Outcome good = run(write);
        ASSERT_FALSE(good.code) << *good.code;
        ASSERT_EQ(functionsOf(good.calls, true), write.writes);
        const std::vector<std::string> functions = functionsOf(good.calls, false);
        Objects expected = good.before;
        std::map<std::string, unsigned> calls;
        for (size_t i = 0; i < good.calls.size(); ++i) {
            const std::string& function = functions[i];
            const unsigned number = ++calls[function];
            SCOPED_TRACE(function + " #" + std::to_string(number));
            const bool search = function == "C_FindObjects";
            if (search && good.calls[i].arg("pulObjectCount.out") == 0) continue;
            const std::vector<std::string> upToIt(functions.begin(), functions.begin() + i + 1);
            const Outcome failed = run(write, [&] {
                if (search)
                    Control::failAfterWork(function, CKR_DEVICE_ERROR, number);
                else
                    Control::failOnCall(function, CKR_DEVICE_ERROR, number);
            });
            EXPECT_EQ(failed.code, familyOf(function));
            EXPECT_EQ(failed.returnValue, CKR_DEVICE_ERROR);
            EXPECT_EQ(functionsOf(failed.calls, false), upToIt);
            EXPECT_EQ(failed.after, expected);
            if (isWrite(function)) {
                const Outcome written = run(write, [&] { Control::failAfterWork(function, CKR_DEVICE_ERROR, number); });
                EXPECT_EQ(written.code, familyOf(function));
                EXPECT_EQ(functionsOf(written.calls, false), upToIt);
                expected = written.after;
            }
        }
        EXPECT_EQ(expected, good.after);
    }
}

}  // namespace
