// Object search, certificate comparison, duplicate checks and the items
// made from token objects.
#include "asn/asn_string.h"
#include "asn/asn_x500name.h"
#include "keydatabasetest.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkrykey.h"
#include "kry/zepsha1.h"
#include "slotmanagerutility.h"
#include "tracecapture.h"
#include "zepsubjectpublickeyinfo.h"

namespace {

using Utility = SlotManagerUtility;

class TokenObjectSearch : public KeyDatabaseTest {
protected:
    std::vector<CK_ATTRIBUTE_TYPE> lastSearchTemplate() {
        return Control::callsOf("C_FindObjectsInit").back().attributeTypes;
    }
};

TEST_F(TokenObjectSearch, FiltersOnlyWhereTheCriterionSays) {
    std::vector<CK_OBJECT_HANDLE> handles;
    Utility::findAllItems(slot(), CKO_PRIVATE_KEY, handles, MATCH_LABEL, bufferOf("x"));
    EXPECT_EQ(lastSearchTemplate(), (std::vector<CK_ATTRIBUTE_TYPE>{CKA_CLASS, CKA_PRIVATE}));
    Utility::findAllItems(slot(), CKO_PUBLIC_KEY, handles, MATCH_ID, ZEPBuffer());
    EXPECT_EQ(lastSearchTemplate(), std::vector<CK_ATTRIBUTE_TYPE>{CKA_CLASS});
    Utility::findAllItems(slot(), CKO_PUBLIC_KEY, handles, MATCH_ID, bufferOf("id"));
    EXPECT_EQ(lastSearchTemplate(), (std::vector<CK_ATTRIBUTE_TYPE>{CKA_CLASS, CKA_ID}));
    Utility::findAllItems(slot(), CKO_CERTIFICATE, handles, MATCH_SUBJECT_NAME, bufferOf("subject"));
    EXPECT_EQ(lastSearchTemplate(), (std::vector<CK_ATTRIBUTE_TYPE>{CKA_CLASS, CKA_SUBJECT}));
    EXPECT_TRUE(handles.empty());
}

TEST_F(TokenObjectSearch, FirstMatchInTokenOrderWins) {
    addCertificate(certificates_->otherSerial, "other", bufferOf("2"));
    CK_OBJECT_HANDLE first = addCertificate(certificates_->first, "same", bufferOf("1"));
    CK_OBJECT_HANDLE second = addCertificate(certificates_->sameSerial, "same", bufferOf("1"));
    CK_OBJECT_HANDLE found = 99;
    EXPECT_TRUE(Utility::findItem(slot(), CKO_CERTIFICATE, MATCH_ID, bufferOf("1"), found));
    EXPECT_EQ(found, first);
    // One destroyed since the search is passed over.
    Control::failOnCall("C_GetAttributeValue", CKR_OBJECT_HANDLE_INVALID);
    EXPECT_TRUE(Utility::findItem(slot(), CKO_CERTIFICATE, MATCH_ID, bufferOf("1"), found));
    EXPECT_EQ(found, second);
    EXPECT_FALSE(Utility::findItem(slot(), CKO_CERTIFICATE, MATCH_VALUE, bufferOf("nothing"), found));
    EXPECT_EQ(found, 0u);
}

TEST_F(TokenObjectSearch, LabelsMatchAsTextAndAsUTF8String) {
    asn_UTF8String label;
    label.set_text("Alice");
    const ZEPBuffer labelDER = ZEPASNUtility::getDEREncoding(label);
    CK_OBJECT_HANDLE plain = addCertificate(certificates_->first, "Alice", bufferOf("1"));
    CK_OBJECT_HANDLE found = 0;
    EXPECT_TRUE(Utility::findItem(slot(), CKO_CERTIFICATE, MATCH_LABEL, labelDER, found));
    EXPECT_EQ(found, plain);
    EXPECT_TRUE(Utility::compareLabel(labelDER, bufferOf("Alice")));
    EXPECT_TRUE(Utility::compareLabel(bufferOf("Alice"), labelDER));
    EXPECT_FALSE(Utility::compareLabel(bufferOf("Alice"), bufferOf("alice")));
    EXPECT_EQ(Utility::normalizeLabel(ZEPBuffer()), ZEPBuffer(2, "\x0c\x00"));
}

// Bytes that are no UTF-8 (Latin-1 here) are wrapped whole: no label is lost
// or merged with another.
TEST_F(TokenObjectSearch, LabelsThatAreNoUTF8AreWrappedWhole) {
    const ZEPBuffer latin1 = bufferOf("\xE9t\xE9"), wrapped(5, "\x0c\x03\xE9t\xE9");
    EXPECT_EQ(Utility::normalizeLabel(latin1), wrapped);
    EXPECT_EQ(Utility::normalizeLabel(wrapped), wrapped);
    EXPECT_EQ(Utility::normalizeLabel(bufferOf("\xFF")), ZEPBuffer(3, "\x0c\x01\xFF"));
    EXPECT_FALSE(Utility::compareLabel(latin1, bufferOf("\xFF")));
    CK_OBJECT_HANDLE stored = addCertificate(certificates_->first, "\xE9t\xE9", bufferOf("1"));
    CK_OBJECT_HANDLE found = 0;
    EXPECT_TRUE(Utility::findItem(slot(), CKO_CERTIFICATE, MATCH_LABEL, wrapped, found));
    EXPECT_EQ(found, stored);
    EXPECT_FALSE(Utility::findItem(slot(), CKO_CERTIFICATE, MATCH_LABEL, ZEPBuffer(), found));
}

TEST_F(TokenObjectSearch, KeyRecordMatchNeedsIdAndSubject) {
    const ZEPBuffer subject = subjectOf(certificates_->first);
    addKey(CKO_PUBLIC_KEY, "k", bufferOf("id"), bufferOf("other subject"));
    CK_OBJECT_HANDLE wanted = addKey(CKO_PUBLIC_KEY, "k", bufferOf("id"), subject);
    ZEPPKCS11ASNKeyRecord record(" ", bufferOf("id"), 0, subject);
    CK_OBJECT_HANDLE found = 0;
    EXPECT_TRUE(Utility::findItem(slot(), CKO_PUBLIC_KEY, MATCH_KEY_RECORD, record.getBuffer(), found));
    EXPECT_EQ(found, wanted);
}

TEST_F(TokenObjectSearch, CertificateWithoutIdIsNoCertificateItem) {
    TraceCapture trace;
    CK_OBJECT_HANDLE handle = Control::addObject(
        kSlot, {{CKA_CLASS, testtoken::ulongValue(CKO_CERTIFICATE)},
                {CKA_LABEL, testtoken::textValue("no id")},
                {CKA_VALUE, bytesOf(certificates_->first)}});
    std::unique_ptr<ZEPCertItem> item(Utility::makeCertItem(slot(), handle, MATCH_ALL, asn_x500name()));
    EXPECT_EQ(item, nullptr);
    EXPECT_TRUE(trace.contains(ZEPTrace::LEVEL_INFO, "CKA_ID missing on Cert Object"));
}

TEST_F(TokenObjectSearch, CertificatesAreComparedByTheirParts) {
    CK_OBJECT_HANDLE handle = addCertificate(certificates_->first, "Alice", bufferOf("1"));
    x509_certificate same, other;
    ZEPASNUtility::setDEREncoding(certificates_->first, same);
    ZEPASNUtility::setDEREncoding(certificates_->otherSerial, other);
    auto matches = [&](MatchType match, const asn_object& criterion) {
        std::unique_ptr<ZEPCertItem> item(Utility::makeCertItem(slot(), handle, match, criterion));
        return item != nullptr;
    };
    EXPECT_TRUE(matches(MATCH_SIGNATURE, same.get_signature()));
    EXPECT_FALSE(matches(MATCH_SIGNATURE, other.get_signature()));
    EXPECT_TRUE(matches(MATCH_UNSIGNED_CERTIFICATE, same.get_tbs_certificate()));
    EXPECT_FALSE(matches(MATCH_UNSIGNED_CERTIFICATE, other.get_tbs_certificate()));
    EXPECT_TRUE(matches(MATCH_ISSUER_AND_SERIAL,
                        ZEPASNUtility::getIssuerAndSerialNumber(same.get_issuer(), same.get_serial_number())));
    EXPECT_FALSE(matches(MATCH_ISSUER_AND_SERIAL,
                         ZEPASNUtility::getIssuerAndSerialNumber(other.get_issuer(), other.get_serial_number())));
    asn_x500name bob;
    ASSERT_EQ(bob.from_string("O=Example,CN=Bob"), ASN_OK);
    SubjectPublicKeyInfo otherKey;
    ZEPASNUtility::setDEREncoding(OpenSSLTool::sharedKey("rsa2048.spki"), otherKey);
    EXPECT_TRUE(matches(MATCH_SUBJECT_NAME, other.get_subject()));
    EXPECT_FALSE(matches(MATCH_SUBJECT_NAME, bob));
    EXPECT_TRUE(matches(MATCH_SUBJECT_PUBLIC_KEY_INFO, other.get_subject_public_key_info()));
    EXPECT_FALSE(matches(MATCH_SUBJECT_PUBLIC_KEY_INFO, otherKey));
    asn_UTF8String label;
    label.set_text("Alice");
    EXPECT_TRUE(matches(MATCH_LABEL, label));
    EXPECT_FALSE(matches(MatchType(0), label));
}

class DuplicateCheck : public KeyDatabaseTest {
protected:
    DuplicateCheck() { addCertificate(certificates_->first, "stored", bufferOf("1")); }

    int reasonFor(const ZEPBuffer& der, const std::string& label) {
        int reason = 0;
        return Utility::exists(slot(), ZEPCertItem(der, bufferOf(label)), reason) ? reason : 0;
    }
};

TEST_F(DuplicateCheck, GivesTheFirstReasonThatHolds) {
    EXPECT_EQ(reasonFor(certificates_->otherSerial, "stored"), 577009);
    EXPECT_EQ(reasonFor(certificates_->first, "new"), 577010);
    EXPECT_EQ(reasonFor(certificates_->resigned, "new"), 577012);
    EXPECT_EQ(reasonFor(certificates_->sameSerial, "new"), 577013);
    EXPECT_EQ(reasonFor(certificates_->otherSerial, "new"), 0);
}

TEST_F(DuplicateCheck, OnlyCertificatesOfTheSameSubjectCount) {
    OpenSSLTool openssl;
    openssl.copySharedKey("rsa1024.pem", "key.pem");
    openssl.must("req -new -x509 -key key.pem -subj /CN=Bob/O=Example -set_serial 1 -outform DER -out bob.der");
    EXPECT_EQ(reasonFor(openssl.readFile("bob.der"), "stored"), 0);
}

TEST_F(DuplicateCheck, KeysAreDuplicatesByLabelOrByTokenKey) {
    const ZEPBuffer subject = subjectOf(certificates_->first);
    addKey(CKO_PRIVATE_KEY, "mine", bufferOf("id"), subject);
    ZEPKRYKey plain(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO);
    expectFailure([&] { Utility::isUnique(slot(), ZEPKeyItem(plain, bufferOf("mine"))); }, 577009, "");
    ZEPPKCS11ASNKeyRecord record(slot().getLabel(), bufferOf("id"), 1024, subject);
    ZEPKRYKey onToken(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD,
                      record.getBuffer());
    expectFailure([&] { Utility::isUnique(slot(), ZEPKeyItem(onToken, bufferOf("another"))); }, 577011, "");
    record.setSubjectName(bufferOf("other subject"));
    onToken.setKeyBlob(record.getBuffer());
    EXPECT_TRUE(Utility::isUnique(slot(), ZEPKeyItem(onToken, bufferOf("mine"))));
    // Labels that are no UTF-8 stay apart.
    addKey(CKO_PRIVATE_KEY, "\xE9t\xE9", bufferOf("latin"), subject);
    EXPECT_TRUE(Utility::isUnique(slot(), ZEPKeyItem(plain, bufferOf("\xFF"))));
    expectFailure([&] { Utility::isUnique(slot(), ZEPKeyItem(plain, bufferOf("\xE9t\xE9"))); }, 577009, "");
}

class ItemsFromObjects : public KeyDatabaseTest {};

// A key's attributes come in one batch, a call for their lengths and one
// for their values; a batch the token answers with a sensitive or unknown
// attribute or too small a buffer is read again group by group, with the
// same item.
TEST_F(ItemsFromObjects, PrivateKeyBecomesARecordNamingIt) {
    const ZEPBuffer subject = subjectOf(certificates_->first);
    const ZEPBuffer id = ZEPSHA1::digest(certificates_->modulus);
    const struct {
        CK_RV answer;
        unsigned call;    // of the batch's two, answered so
        size_t readCalls;  // C_GetAttributeValue calls in all
    } cases[] = {{CKR_OK, 0, 2},
                 {CKR_ATTRIBUTE_SENSITIVE, 1, 5},
                 {CKR_ATTRIBUTE_TYPE_INVALID, 1, 5},
                 {CKR_ATTRIBUTE_SENSITIVE, 2, 6},
                 {CKR_BUFFER_TOO_SMALL, 2, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "answer " << c.answer << " to call " << c.call);
        const CK_OBJECT_HANDLE object = addKey(CKO_PRIVATE_KEY, "Alice", id, subject);
        Control::clearCalls();
        if (c.call) Control::failOnCall("C_GetAttributeValue", c.answer, c.call);
        std::unique_ptr<ZEPKeyItem> item(Utility::makeKeyItem(slot(), object));
        EXPECT_EQ(Control::callCount("C_GetAttributeValue"), c.readCalls);
        const ZEPKRYKey& key = item->getKey();
        EXPECT_EQ(key.getType(), ZEPKRYKey::TYPE_PRIVATE);
        ASSERT_EQ(key.getFormat(), ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD);
        ZEPPKCS11ASNKeyRecord record(key.getKeyBlob());
        EXPECT_EQ(record.getTokenLabel().str(), "database" + std::string(24, ' '));
        EXPECT_EQ(record.getObjectId(), id);
        EXPECT_EQ(record.getSubjectName(), subject);
        EXPECT_EQ(record.getKeySize(), 1024u);
        EXPECT_TRUE(Utility::compareLabel(item->getLabel(), bufferOf("Alice")));
    }
}

TEST_F(ItemsFromObjects, PublicKeyIsRebuiltFromItsComponents) {
    std::unique_ptr<ZEPKeyItem> item(
        Utility::makeKeyItem(slot(), addKey(CKO_PUBLIC_KEY, "Alice", bufferOf("1"), ZEPBuffer())));
    ASSERT_EQ(item->getKey().getFormat(), ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO);
    ZEPSubjectPublicKeyInfo publicKey(item->getKey().getKeyBlob());
    EXPECT_EQ(publicKey.getModulus(true), certificates_->modulus);
    EXPECT_EQ(publicKey.getPublicExponent(), certificates_->exponent);
}

TEST_F(ItemsFromObjects, MissingAttributesAreReportedNotFatal) {
    TraceCapture trace;
    std::unique_ptr<ZEPKeyItem> item(Utility::makeKeyItem(
        slot(), addKey(CKO_PUBLIC_KEY, "", ZEPBuffer(), ZEPBuffer(), {CKA_LABEL, CKA_MODULUS, CKA_PUBLIC_EXPONENT})));
    EXPECT_EQ(item->getLabel(), ZEPBuffer(2, "\x0c\x00"));
    ZEPSubjectPublicKeyInfo publicKey(item->getKey().getKeyBlob());
    EXPECT_TRUE(publicKey.getModulus(false) == ZEPBuffer(1, " ") && publicKey.getPublicExponent() == ZEPBuffer(1, " "));
    EXPECT_TRUE(trace.contains(ZEPTrace::LEVEL_INFO, "CKA_LABEL missing on Key Object"));
    // The same words as for private key objects.
    EXPECT_TRUE(trace.contains(ZEPTrace::LEVEL_INFO, "CKA_MODULUS missing on Private Key Object"));
    EXPECT_TRUE(trace.contains(ZEPTrace::LEVEL_INFO, "CKA_PUBLIC_EXPONENT missing on Private Key Object"));
}

TEST_F(ItemsFromObjects, OnlyPublicAndPrivateRsaKeysMakeKeyItems) {
    CK_OBJECT_HANDLE dsa = Control::addObject(kSlot, {{CKA_CLASS, testtoken::ulongValue(CKO_PUBLIC_KEY)},
                                                      {CKA_KEY_TYPE, testtoken::ulongValue(CKK_DSA)}});
    expectFailure([&] { delete Utility::makeKeyItem(slot(), dsa); }, 571004, "Only RSA Keys are supported.");
    CK_OBJECT_HANDLE secret = Control::addObject(kSlot, {{CKA_CLASS, testtoken::ulongValue(CKO_SECRET_KEY)},
                                                         {CKA_KEY_TYPE, testtoken::ulongValue(CKK_RSA)}});
    expectFailure([&] { delete Utility::makeKeyItem(slot(), secret); }, 571004,
                  "Only PUBLIC and PRIVATE key types are supported.");
}

// The private key's record is sized by the curve; the public key is the
// SubjectPublicKeyInfo openssl writes, whichever form CKA_EC_POINT has.
TEST_F(ItemsFromObjects, ECKeysBecomeItemsOfTheirCurve) {
    const struct {
        const char* key;
        unsigned bits;
        bool barePoint;
    } cases[] = {{"ec", 256, false}, {"ec384", 384, true}, {"ec521", 521, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        std::unique_ptr<ZEPKeyItem> privateItem(
            Utility::makeKeyItem(slot(), addECKey(CKO_PRIVATE_KEY, c.key, bufferOf("1"), ZEPBuffer())));
        EXPECT_EQ(privateItem->getKey().getAlgorithm(), ZEPKRYKey::ALGORITHM_EC);
        EXPECT_EQ(ZEPPKCS11ASNKeyRecord(privateItem->getKey().getKeyBlob()).getKeySize(), c.bits);
        std::unique_ptr<ZEPKeyItem> publicItem(
            Utility::makeKeyItem(slot(), addECKey(CKO_PUBLIC_KEY, c.key, bufferOf("1"), ZEPBuffer(), c.barePoint)));
        EXPECT_EQ(publicItem->getKey().getAlgorithm(), ZEPKRYKey::ALGORITHM_EC);
        EXPECT_EQ(publicItem->getKey().getKeyBlob(), OpenSSLTool::sharedKey(std::string(c.key) + ".spki"));
    }
}

TEST_F(ItemsFromObjects, PairsNeedAPrivateKeyOfTheSameIdAndSubject) {
    const ZEPBuffer subject = subjectOf(certificates_->first);
    CK_OBJECT_HANDLE certificate = addCertificate(certificates_->first, "Alice", bufferOf("1"));
    addKey(CKO_PRIVATE_KEY, "Alice", bufferOf("1"), bufferOf("another subject"));
    std::unique_ptr<ZEPKeyCertItem> none(Utility::makeKeyCertItem(slot(), certificate, MATCH_ALL, asn_x500name()));
    EXPECT_EQ(none, nullptr);
    addKey(CKO_PRIVATE_KEY, "Alice", bufferOf("1"), subject);
    std::unique_ptr<ZEPKeyCertItem> pair(Utility::makeKeyCertItem(slot(), certificate, MATCH_ALL, asn_x500name()));
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(pair->getCertificateDER(), certificates_->first);
    EXPECT_EQ(ZEPPKCS11ASNKeyRecord(pair->getKey().getKeyBlob()).getSubjectName(), subject);
}

TEST_F(ItemsFromObjects, RequestsArePrivateKeysWithPublicKeySubjectAndNoCertificate) {
    const ZEPBuffer subject = subjectOf(certificates_->first);
    CK_OBJECT_HANDLE noSubject = addKey(CKO_PRIVATE_KEY, "a", bufferOf("a"), ZEPBuffer());
    addKey(CKO_PUBLIC_KEY, "a", bufferOf("a"), ZEPBuffer());
    CK_OBJECT_HANDLE noPublic = addKey(CKO_PRIVATE_KEY, "b", bufferOf("b"), subject);
    CK_OBJECT_HANDLE certified = addKey(CKO_PRIVATE_KEY, "c", bufferOf("c"), subject);
    addKey(CKO_PUBLIC_KEY, "c", bufferOf("c"), subject);
    addCertificate(certificates_->first, "c", bufferOf("c"));
    CK_OBJECT_HANDLE pending = addKey(CKO_PRIVATE_KEY, "d", bufferOf("d"), subject);
    addKey(CKO_PUBLIC_KEY, "d", bufferOf("d"), subject);
    Control::setMechanisms(kSlot, testtoken::rsaMechanisms());

    for (CK_OBJECT_HANDLE handle : {noSubject, noPublic, certified}) {
        std::unique_ptr<ZEPKeyCertReqItem> request(Utility::makeKeyCertReqItem(slot(), handle));
        EXPECT_EQ(request, nullptr) << "handle " << handle;
    }
    Control::clearCalls();
    std::unique_ptr<ZEPKeyCertReqItem> request(Utility::makeKeyCertReqItem(slot(), pending));
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->getSubjectName(), subject);
    EXPECT_EQ(request->getPublicKeyItem().getKey().getFormat(), ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO);
    EXPECT_EQ(request->getPrivateKeyItem().getKey().getFormat(), ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD);
    EXPECT_TRUE(Utility::compareLabel(request->getLabel(), bufferOf("d")));
    // Signed once, on the token, with the request's private key object.
    EXPECT_FALSE(request->getSignedRequestDER().empty());
    EXPECT_EQ(Control::callCount("C_SignInit"), 1u);
    EXPECT_EQ(Control::callsOf("C_SignInit").at(0).arg("hKey"), pending);

    // Iterating requests does not sign them.
    Control::clearCalls();
    std::unique_ptr<ZEPSlotManager::Iterator> requests(slot().getKeyCertReqIterator());
    std::unique_ptr<ZEPKeyCertReqItem> listed(slot().getNextKeyCertReqItem(*requests));
    ASSERT_NE(listed, nullptr);
    EXPECT_TRUE(listed->getSignedRequestDER().empty());
    EXPECT_EQ(Control::callCount("C_SignInit"), 0u);
}

}  // namespace
