// Listing, lookups and counts of the key database on the test token.
#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "asn/asn_string.h"
#include "asn/asn_x500name.h"
#include "keydatabasetest.h"
#include "pkcs11diagnostics.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepcertitemcontainer.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertitemcontainer.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zepkeyitemcontainer.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkrykey.h"
#include "slotmanagerutility.h"
#include "tokencache.h"

namespace {

using Index = ZEPSlotManager;

asn_UTF8String labelValue(const std::string& text) {
    asn_UTF8String label;
    label.set_text(text);
    return label;
}

class KeyDatabaseLookup : public KeyDatabaseTest {
protected:
    std::unique_ptr<ZEPSlotManager::Iterator> iterator(ZEPSlotManager::Iterator* made) {
        return std::unique_ptr<ZEPSlotManager::Iterator>(made);
    }
    template <typename Item>
    static std::unique_ptr<Item> owned(Item* item) {
        return std::unique_ptr<Item>(item);
    }
    // A pair "pair" (id "p") and a request "request" (id "r") of one subject.
    void addPairAndRequest() {
        const ZEPBuffer subject = subjectOf(certificates_->first);
        addCertificate(certificates_->first, "pair", bufferOf("p"));
        addKey(CKO_PRIVATE_KEY, "pair", bufferOf("p"), subject);
        addKey(CKO_PRIVATE_KEY, "request", bufferOf("r"), subject);
        addKey(CKO_PUBLIC_KEY, "request", bufferOf("r"), subject);
    }
};

TEST_F(KeyDatabaseLookup, KeyIteratorGivesPrivateKeysFirst) {
    addKey(CKO_PUBLIC_KEY, "pair", bufferOf("1"), ZEPBuffer());
    addKey(CKO_PRIVATE_KEY, "pair", bufferOf("1"), ZEPBuffer());
    auto keys = iterator(slot().getKeyIterator());
    auto first = owned(slot().getNextKeyItem(*keys));
    auto second = owned(slot().getNextKeyItem(*keys));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->getKey().getType(), ZEPKRYKey::TYPE_PRIVATE);
    EXPECT_EQ(second->getKey().getType(), ZEPKRYKey::TYPE_PUBLIC);
    EXPECT_EQ(owned(slot().getNextKeyItem(*keys)), nullptr);
}

TEST_F(KeyDatabaseLookup, IteratorsAreCheckedByKind) {
    auto certificates = iterator(slot().getCertIterator());
    expectFailure([&] { delete slot().getNextKeyItem(*certificates); }, 571002,
                  "The iterator is not compatible with the function");
    auto keys = iterator(slot().getKeyIterator());
    EXPECT_EQ(owned(slot().getNextKeyCertReqItem(*keys)), nullptr);
    EXPECT_TRUE(keys->isKindOf("SlotManagerKeyIterator"));
    EXPECT_FALSE(keys->isKindOf("Iterator"));
}

TEST_F(KeyDatabaseLookup, CertificateIteratorSkipsObjectsThatAreNoCertificateItem) {
    Control::addObject(kSlot, {{CKA_CLASS, testtoken::ulongValue(CKO_CERTIFICATE)},
                               {CKA_LABEL, testtoken::textValue("no id")},
                               {CKA_VALUE, bytesOf(certificates_->first)}});
    addCertificate(certificates_->otherSerial, "second", bufferOf("2"));
    auto certificates = iterator(slot().getCertIterator());
    auto item = owned(slot().getNextCertItem(*certificates));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->getCertificateDER(), certificates_->otherSerial);
    EXPECT_EQ(owned(slot().getNextCertItem(*certificates)), nullptr);
}

// Objects whose attributes make no item (a value that is no certificate, an
// RSA key without its components, a key of another type) stand first in the
// token's order: every listing and lookup passes over them to the readable
// objects of the same label. A failed read still fails them once what was
// read is past its second, and leaves an iterator on the object it failed at.
TEST_F(KeyDatabaseLookup, UnreadableObjectsArePassedOverButFailedReadsFail) {
    using testtoken::textValue;
    using testtoken::ulongValue;
    auto now = std::chrono::steady_clock::now();
    slot().getTokenCache().setClock([&] { return now; });
    // Request lookups sign the request.
    Control::setMechanisms(kSlot, testtoken::rsaMechanisms());
    const ZEPBuffer subject = subjectOf(certificates_->first);
    Control::addObject(kSlot, {{CKA_CLASS, ulongValue(CKO_CERTIFICATE)},
                               {CKA_LABEL, textValue("x")},
                               {CKA_ID, bytesOf(bufferOf("p"))},
                               {CKA_SUBJECT, bytesOf(subject)},
                               {CKA_VALUE, textValue("no certificate")}});
    Control::addObject(kSlot, {{CKA_CLASS, ulongValue(CKO_PRIVATE_KEY)},
                               {CKA_KEY_TYPE, ulongValue(CKK_DSA)},
                               {CKA_PRIVATE, testtoken::boolValue(true)},
                               {CKA_LABEL, textValue("x")}});
    for (CK_OBJECT_CLASS keyClass : {CKO_PRIVATE_KEY, CKO_PUBLIC_KEY})
        Control::addObject(kSlot, {{CKA_CLASS, ulongValue(keyClass)},
                                   {CKA_KEY_TYPE, ulongValue(CKK_RSA)},
                                   {CKA_PRIVATE, testtoken::boolValue(keyClass == CKO_PRIVATE_KEY)},
                                   {CKA_LABEL, textValue("r")},
                                   {CKA_ID, bytesOf(bufferOf("p"))},
                                   {CKA_SUBJECT, bytesOf(subject)},
                                   {CKA_MODULUS, {}},
                                   {CKA_PUBLIC_EXPONENT, {}}});
    // Readable: a pair whose private key has no public key object, and a
    // request; the unreadable keys of id "p" make neither.
    addCertificate(certificates_->first, "x", bufferOf("c"));
    addKey(CKO_PRIVATE_KEY, "x", bufferOf("c"), subject);
    addKey(CKO_PRIVATE_KEY, "r", bufferOf("r"), subject);
    addKey(CKO_PUBLIC_KEY, "r", bufferOf("r"), subject);
    const asn_UTF8String x = labelValue("x");
    asn_x500name any;
    auto walk = [&](auto makeIterator, auto next) {
        auto listed = iterator((slot().*makeIterator)());
        std::size_t count = 0;
        while (auto item = owned((slot().*next)(*listed))) ++count;
        return count;
    };
    const struct {
        const char* listing;
        std::function<std::size_t()> count;
        std::size_t expected;
    } listings[] = {
        {"keys", [&] { return walk(&SlotManager::getKeyIterator, &SlotManager::getNextKeyItem); }, 3},
        {"certificates", [&] { return walk(&SlotManager::getCertIterator, &SlotManager::getNextCertItem); }, 1},
        {"pairs", [&] { return walk(&SlotManager::getKeyCertIterator, &SlotManager::getNextKeyCertItem); }, 1},
        {"requests", [&] { return walk(&SlotManager::getKeyCertReqIterator, &SlotManager::getNextKeyCertReqItem); },
         1},
        {"key count", [&] { return std::size_t(slot().getItemCount(Index::KeyMultiIndex::ALL, any)); }, 3},
        {"certificate count", [&] { return std::size_t(slot().getItemCount(Index::CertMultiIndex::ALL, any)); }, 1},
        {"pair count", [&] { return std::size_t(slot().getItemCount(Index::KeyCertMultiIndex::ALL, any)); }, 1},
        {"key", [&] { return std::size_t(owned(slot().getItem(Index::KeyUniqueIndex::LABEL, x)) != nullptr); }, 1},
        {"certificate", [&] { return std::size_t(owned(slot().getItem(Index::CertUniqueIndex::LABEL, x)) != nullptr); },
         1},
        {"pair", [&] { return std::size_t(owned(slot().getItem(Index::KeyCertUniqueIndex::LABEL, x)) != nullptr); },
         1},
        {"request count", [&] { return std::size_t(slot().getItemCount(Index::KeyCertReqMultiIndex::ALL, any)); },
         1},
        {"request",
         [&] {
             return std::size_t(owned(slot().getItem(Index::KeyCertReqUniqueIndex::LABEL, labelValue("r"))) != nullptr);
         },
         1},
    };
    for (const auto& listing : listings) EXPECT_EQ(listing.count(), listing.expected) << listing.listing;
    auto key = owned(slot().getItem(Index::KeyUniqueIndex::LABEL, x));
    EXPECT_EQ(ZEPPKCS11ASNKeyRecord(key->getKey().getKeyBlob()).getObjectId(), bufferOf("c"));

    for (const auto& listing : listings) {
        now += std::chrono::seconds(1);
        Control::failOnCall("C_GetAttributeValue", CKR_DEVICE_ERROR);
        EXPECT_THROW(listing.count(), ZEPPKCS11Exception) << listing.listing;
    }
    auto keys = iterator(slot().getKeyIterator());
    Control::failOnCall("C_GetAttributeValue", CKR_DEVICE_ERROR);
    EXPECT_THROW(delete slot().getNextKeyItem(*keys), ZEPPKCS11Exception);
    auto retried = owned(slot().getNextKeyItem(*keys));
    ASSERT_NE(retried, nullptr);
    EXPECT_EQ(retried->getKey().getType(), ZEPKRYKey::TYPE_PRIVATE);
}

// The host diagnostics list every object and say why the key database
// makes no item of a certificate or an RSA or EC key (or a key of no type).
TEST_F(KeyDatabaseLookup, ListedObjectsSayWhyTheyMakeNoItem) {
    using testtoken::textValue;
    using testtoken::ulongValue;
    const auto certificate = [&](std::initializer_list<CK_ATTRIBUTE_TYPE> without, const AttributeValue& value) {
        Attributes attributes = {{CKA_CLASS, ulongValue(CKO_CERTIFICATE)},
                                 {CKA_LABEL, textValue("c")},
                                 {CKA_ID, textValue("c")},
                                 {CKA_VALUE, value}};
        for (CK_ATTRIBUTE_TYPE type : without) attributes.erase(type);
        return Control::addObject(kSlot, attributes);
    };
    // EC keys: named curves (P-256 and one the key database does not know)
    // and uncompressed points of a length.
    const AttributeValue P256 = {0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07},
                         secp256k1 = {0x06, 0x05, 0x2b, 0x81, 0x04, 0x00, 0x0a};
    const auto point = [](std::size_t length) {
        AttributeValue bytes(length, 0x01);
        bytes[0] = 0x04;
        return bytes;
    };
    const auto ecKey = [&](CK_OBJECT_CLASS objectClass, const AttributeValue& curve, const AttributeValue& ecPoint) {
        Attributes attributes = {{CKA_CLASS, ulongValue(objectClass)}, {CKA_KEY_TYPE, ulongValue(CKK_EC)}};
        if (!curve.empty()) attributes[CKA_EC_PARAMS] = curve;
        if (!ecPoint.empty()) attributes[CKA_EC_POINT] = ecPoint;
        return Control::addObject(kSlot, attributes);
    };
    const std::string ecPublicKey = "CKA_EC_PARAMS and CKA_EC_POINT make no EC public key ";
    const std::map<CK_OBJECT_HANDLE, std::string> expected = {
        {certificate({}, bytesOf(certificates_->first)), ""},
        {certificate({CKA_LABEL}, bytesOf(certificates_->first)), "no CKA_LABEL"},
        {certificate({CKA_VALUE}, {}), "no CKA_VALUE"},
        {certificate({CKA_ID}, bytesOf(certificates_->first)), "no CKA_ID"},
        {certificate({}, textValue("no certificate")), "CKA_VALUE is no X.509 certificate (DER input truncated)"},
        {addKey(CKO_PRIVATE_KEY, "k", bufferOf("k"), ZEPBuffer()), ""},
        {addKey(CKO_PUBLIC_KEY, "k", bufferOf("k"), ZEPBuffer(), {CKA_KEY_TYPE}), "no CKA_KEY_TYPE"},
        {Control::addObject(kSlot, {{CKA_CLASS, ulongValue(CKO_PUBLIC_KEY)},
                                    {CKA_KEY_TYPE, ulongValue(CKK_RSA)},
                                    {CKA_MODULUS, {}},
                                    {CKA_PUBLIC_EXPONENT, {}}}),
         "CKA_MODULUS and CKA_PUBLIC_EXPONENT make no RSA public key (bad argument for ASN.1 value)"},
        {ecKey(CKO_PUBLIC_KEY, P256, point(65)), ""},
        {ecKey(CKO_PRIVATE_KEY, P256, {}), ""},
        {ecKey(CKO_PUBLIC_KEY, {}, point(65)), ecPublicKey + "(DER input truncated)"},
        {ecKey(CKO_PUBLIC_KEY, P256, point(64)), ecPublicKey + "(EC point of 64 bytes; prime256v1 takes 65)"},
        {ecKey(CKO_PRIVATE_KEY, secp256k1, {}),
         "CKA_EC_PARAMS names no curve of an EC key (EC curve 1.3.132.0.10 is not supported (prime256v1, secp384r1 "
         "and secp521r1 are))"},
        {Control::addObject(kSlot, {{CKA_CLASS, ulongValue(CKO_PUBLIC_KEY)}, {CKA_KEY_TYPE, ulongValue(CKK_DSA)}}), ""},
        {Control::addObject(kSlot, {{CKA_CLASS, ulongValue(CKO_DATA)}}), ""},
    };
    std::map<CK_OBJECT_HANDLE, std::string> listed;
    auto collect = [](const p11_object* object, void* context) {
        (*static_cast<std::map<CK_OBJECT_HANDLE, std::string>*>(context))[object->handle] =
            object->damage ? object->damage : "";
    };
    p11_status status{};
    ASSERT_EQ(p11_listObjects(&slot(), collect, &listed, &status), 0) << status.message;
    EXPECT_EQ(listed, expected);
}

TEST_F(KeyDatabaseLookup, PairsAndRequestsAreListed) {
    addPairAndRequest();

    auto pairs = iterator(slot().getKeyCertIterator());
    auto pair = owned(slot().getNextKeyCertItem(*pairs));
    ASSERT_NE(pair, nullptr);
    EXPECT_TRUE(SlotManagerUtility::compareLabel(pair->getLabel(), bufferOf("pair")));
    EXPECT_EQ(owned(slot().getNextKeyCertItem(*pairs)), nullptr);

    auto requests = iterator(slot().getKeyCertReqIterator());
    auto request = owned(slot().getNextKeyCertReqItem(*requests));
    ASSERT_NE(request, nullptr);
    EXPECT_TRUE(SlotManagerUtility::compareLabel(request->getLabel(), bufferOf("request")));
    EXPECT_EQ(owned(slot().getNextKeyCertReqItem(*requests)), nullptr);
}

TEST_F(KeyDatabaseLookup, UniqueLookups) {
    addKey(CKO_PUBLIC_KEY, "both", bufferOf("1"), ZEPBuffer());
    addKey(CKO_PRIVATE_KEY, "both", bufferOf("1"), ZEPBuffer());
    addCertificate(certificates_->first, "cert", bufferOf("c"));
    auto key = owned(slot().getItem(Index::KeyUniqueIndex::LABEL, labelValue("both")));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->getKey().getType(), ZEPKRYKey::TYPE_PRIVATE);
    EXPECT_EQ(owned(slot().getItem(Index::KeyUniqueIndex::LABEL, labelValue("none"))), nullptr);

    x509_certificate certificate;
    ZEPASNUtility::setDEREncoding(certificates_->first, certificate);
    EXPECT_NE(owned(slot().getItem(Index::CertUniqueIndex::LABEL, labelValue("cert"))), nullptr);
    EXPECT_NE(owned(slot().getItem(Index::CertUniqueIndex::SIGNATURE, certificate.get_signature())), nullptr);
    EXPECT_NE(owned(slot().getItem(Index::CertUniqueIndex::UNSIGNED_CERTIFICATE, certificate.get_tbs_certificate())),
              nullptr);
    EXPECT_EQ(owned(slot().getItem(Index::CertUniqueIndex(4), labelValue("cert"))), nullptr);
}

TEST_F(KeyDatabaseLookup, MultiLookupsAndCounts) {
    addKey(CKO_PUBLIC_KEY, "a", bufferOf("1"), ZEPBuffer());
    addKey(CKO_PRIVATE_KEY, "b", bufferOf("2"), ZEPBuffer());
    addCertificate(certificates_->first, "first", bufferOf("1"));
    addCertificate(certificates_->otherSerial, "other", bufferOf("2"));
    asn_x500name anyValue;
    EXPECT_EQ(slot().getItemCount(Index::KeyMultiIndex::ALL, anyValue), 2u);
    x509_certificate certificate;
    ZEPASNUtility::setDEREncoding(certificates_->first, certificate);
    EXPECT_EQ(slot().getItemCount(Index::CertMultiIndex::SUBJECT_NAME, certificate.get_subject()), 2u);
    asn_x500name otherName;
    otherName.from_string("CN=Bob");
    EXPECT_EQ(slot().getItemCount(Index::CertMultiIndex::SUBJECT_NAME, otherName), 0u);
    std::unique_ptr<ZEPCertItemContainer> all(slot().getItems(Index::CertMultiIndex::ALL, anyValue));
    EXPECT_EQ(all->size(), 2u);
}

TEST_F(KeyDatabaseLookup, PrivateLookupsNeedALogin) {
    slot().logout();
    asn_x500name anyValue;
    expectFailure([&] { slot().getItemCount(Index::KeyCertMultiIndex::ALL, anyValue); }, 577007,
                  "Login is required to access private keys");
    expectFailure([&] { delete slot().getItem(Index::KeyCertReqUniqueIndex::LABEL, labelValue("x")); }, 577007,
                  "Login is required to access private keys");
    EXPECT_EQ(slot().getItemCount(Index::CertMultiIndex::ALL, anyValue), 0u);
}

class LookupsWithoutLogin : public TestTokenTest {};

TEST_F(LookupsWithoutLogin, KeyCertLookupsOpenTheSession) {
    testtoken::SlotSettings open;
    open.token.flags &= ~CKF_LOGIN_REQUIRED;
    Control::addSlot(open);
    auto manager = connect();
    std::unique_ptr<ZEPSlotManager> slot(manager->getSlotManager(open.id, 0));
    asn_x500name anyValue;
    EXPECT_EQ(slot->getItemCount(Index::KeyCertMultiIndex::ALL, anyValue), 0u);
    EXPECT_EQ(slot->getItemCount(Index::KeyCertReqMultiIndex::ALL, anyValue), 0u);
    delete slot->getItem(Index::KeyCertUniqueIndex::LABEL, labelValue("x"));
    delete slot->getItem(Index::KeyCertReqUniqueIndex::LABEL, labelValue("x"));
    EXPECT_EQ(Control::callCount("C_OpenSession"), 1u);
}

// Pairs and requests listed with one index per listing are those that a
// search per item makes, in the same order: with duplicate keys (the first
// in token order wins), keys lacking CKA_SUBJECT, certificates without a
// key, and a key that goes while the listing runs.
TEST_F(KeyDatabaseLookup, IndexedListingsAnswerAsASearchPerItem) {
    using Listing = std::vector<std::string>;
    const auto labelOf = [](const ZEPBuffer& label) {
        return std::string(reinterpret_cast<const char*>(label.getValue()), label.getLength());
    };
    // A token whose first pair loses its key once listed.
    const auto populate = [&] {
        restart();
        const ZEPBuffer alice = subjectOf(certificates_->first);
        addCertificate(certificates_->first, "first", bufferOf("1"));
        addCertificate(certificates_->sameSerial, "same", bufferOf("1"));
        addCertificate(certificates_->otherSerial, "other", bufferOf("2"));
        addCertificate(certificates_->resigned, "lone", bufferOf("9"));
        const CK_OBJECT_HANDLE firstKey = addKey(CKO_PRIVATE_KEY, "key", bufferOf("1"), alice);
        addKey(CKO_PRIVATE_KEY, "duplicate", bufferOf("1"), alice);
        addKey(CKO_PRIVATE_KEY, "no subject", bufferOf("2"), alice, {CKA_SUBJECT});
        for (const char* request : {"request", "twin"}) {
            addKey(CKO_PRIVATE_KEY, request, bufferOf("r"), alice);
            addKey(CKO_PUBLIC_KEY, request, bufferOf("r"), alice);
        }
        addKey(CKO_PRIVATE_KEY, "unnamed", bufferOf("u"), ZEPBuffer());
        addKey(CKO_PUBLIC_KEY, "unnamed", bufferOf("u"), ZEPBuffer());
        return firstKey;
    };
    const asn_x500name anyName;
    Listing indexed, searched;
    for (bool index : {true, false}) {
        const CK_OBJECT_HANDLE doomed = populate();
        Listing& listing = index ? indexed : searched;
        auto pairs = iterator(slot().getKeyCertIterator());
        std::vector<CK_OBJECT_HANDLE> certificates, privateKeys;
        SlotManagerUtility::findAllItems(slot(), CKO_CERTIFICATE, certificates, MATCH_ALL, ZEPBuffer());
        for (size_t i = 0; i < certificates.size(); ++i) {
            auto pair = owned(index ? slot().getNextKeyCertItem(*pairs)
                                    : SlotManagerUtility::makeKeyCertItem(slot(), certificates[i], MATCH_ALL, anyName));
            if (!pair) continue;
            listing.push_back(labelOf(pair->getLabel()) + "+" + labelOf(pair->getKeyItem().getLabel()));
            if (listing.size() == 1) slot().getClient()->destroyObject(slot().getSessionHandle(), doomed);
        }
        auto requests = iterator(slot().getKeyCertReqIterator());
        SlotManagerUtility::findAllItems(slot(), CKO_PRIVATE_KEY, privateKeys, MATCH_ALL, ZEPBuffer());
        for (CK_OBJECT_HANDLE privateKey : privateKeys) {
            auto request = owned(index ? slot().getNextKeyCertReqItem(*requests)
                                       : SlotManagerUtility::makeKeyCertReqItem(
                                             slot(), *owned(SlotManagerUtility::makeKeyItem(slot(), privateKey))));
            if (request) listing.push_back("request " + labelOf(request->getLabel()));
        }
    }
    EXPECT_EQ(indexed, searched);
    EXPECT_EQ(searched, (Listing{"\x0c\x05" "first+\x0c\x03key", "\x0c\x04same+\x0c\x09" "duplicate",
                                  "request \x0c\x07request", "request \x0c\x04twin"}));
}

// A listing reads the token's label for its key records once, however many
// private keys it lists; the pair listings check the login first.
TEST_F(KeyDatabaseLookup, ListingsReadTheTokenInfoOncePerListing) {
    const asn_x500name anyName;
    const ZEPBuffer subject = subjectOf(certificates_->first);
    addCertificate(certificates_->first, "first", bufferOf("1"));
    addCertificate(certificates_->otherSerial, "other", bufferOf("2"));
    for (const char* id : {"1", "2"}) addKey(CKO_PRIVATE_KEY, id, bufferOf(id), subject);
    const std::pair<std::function<size_t()>, size_t> cases[] = {  // a listing's items, its C_GetTokenInfo calls
        {[&] {
             auto pairs = iterator(slot().getKeyCertIterator());
             size_t count = 0;
             while (owned(slot().getNextKeyCertItem(*pairs))) ++count;
             return count;
         }, 1},
        {[&] { return owned(slot().getItems(Index::KeyMultiIndex::ALL, anyName))->size(); }, 1},
        {[&] { return owned(slot().getItems(Index::KeyCertMultiIndex::ALL, anyName))->size(); }, 2},
    };
    for (const auto& [list, tokenInfoCalls] : cases) {
        Control::clearCalls();
        EXPECT_EQ(list(), 2u);
        EXPECT_EQ(Control::callCount("C_GetTokenInfo"), tokenInfoCalls);
    }
}

// A listing as the host makes one: the host's object listing, then the
// four views. Every object is read once: the views and a second listing
// within the second find the attributes read, until a write through the
// module or the second's end, with the same items.
TEST_F(KeyDatabaseLookup, ListingsReadEachObjectOncePerSecond) {
    addPairAndRequest();
    const CK_OBJECT_HANDLE data = Control::addObject(kSlot, {{CKA_CLASS, testtoken::ulongValue(CKO_DATA)}});
    auto now = std::chrono::steady_clock::now();
    slot().getTokenCache().setClock([&] { return now; });
    const auto list = [&] {
        std::vector<std::string> listed;
        auto visit = [](const p11_object* object, void* context) {
            static_cast<std::vector<std::string>*>(context)->push_back(
                std::string(reinterpret_cast<const char*>(object->label), object->labelLength));
        };
        p11_status status{};
        EXPECT_EQ(p11_listObjects(&slot(), visit, &listed, &status), 0) << status.message;
        const auto walk = [&](auto makeIterator, auto next) {
            auto items = iterator((slot().*makeIterator)());
            while (auto item = owned((slot().*next)(*items)))
                listed.emplace_back(reinterpret_cast<const char*>(item->getLabel().getValue()),
                                    item->getLabel().getLength());
        };
        walk(&SlotManager::getKeyIterator, &SlotManager::getNextKeyItem);
        walk(&SlotManager::getCertIterator, &SlotManager::getNextCertItem);
        walk(&SlotManager::getKeyCertIterator, &SlotManager::getNextKeyCertItem);
        walk(&SlotManager::getKeyCertReqIterator, &SlotManager::getNextKeyCertReqItem);
        return listed;
    };
    Control::clearCalls();
    const std::vector<std::string> first = list();
    // Lengths and values of each key database object; the data object gives
    // its class in the first call and no other attribute, so it is read
    // again each time.
    const size_t reads = Control::callCount("C_GetAttributeValue");
    EXPECT_EQ(reads, 4 * 2 + 1u);
    EXPECT_EQ(first.size(), 5 + 3 + 1 + 1 + 1u);
    const struct {
        const char* name;
        std::function<void()> between;
        size_t reads;
    } cases[] = {
        {"nothing", [] {}, 1},
        {"a module write", [&] { EXPECT_EQ(p11_setObjectLabel(&slot(), data, nullptr, 0, nullptr), 0); }, reads},
        {"the second's end", [&] { now += std::chrono::seconds(1); }, reads},
        {"a clock set back", [&] { now -= std::chrono::milliseconds(1); }, reads},
    };
    for (const auto& c : cases) {
        c.between();
        Control::clearCalls();
        EXPECT_EQ(list(), first) << c.name;
        EXPECT_EQ(Control::callCount("C_GetAttributeValue"), c.reads) << c.name;
    }
}

class KeyDatabaseConcurrency : public KeyDatabaseLookup {};

TEST_F(KeyDatabaseConcurrency, CopiesSharingTheSessionNeverInterleaveSearches) {
    // The library locks for itself, so only the module keeps the searches
    // and reads of threads sharing one session apart.
    ASSERT_FALSE(slot().getClient()->isLockingOn());
    for (int i = 0; i < 12; ++i) addKey(CKO_PUBLIC_KEY, "key" + std::to_string(i), bufferOf("1"), ZEPBuffer());
    std::vector<std::jthread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([this, copy = std::unique_ptr<ZEPSlotManager>(slot().duplicate()), t] {
            asn_x500name anyValue;
            for (int i = 0; i < 50; ++i) {
                EXPECT_NO_THROW(EXPECT_EQ(copy->getItemCount(Index::KeyMultiIndex::ALL, anyValue), 12u));
                EXPECT_NO_THROW(EXPECT_NE(owned(copy->getItem(Index::KeyUniqueIndex::LABEL,
                                                              labelValue("key" + std::to_string((t + i) % 12)))),
                                          nullptr));
            }
        });
}

}  // namespace
