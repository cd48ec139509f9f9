// The client's object calls observed at the test token: batched searches, the
// two-pass attribute read, empty templates and failures.
#include <map>
#include <thread>
#include <tuple>

#include "testtokentest.h"

namespace {

using testtoken::AttributeValue;

class ObjectCalls : public TestTokenTest {
protected:
    // With ownLocking the client serialises its calls itself.
    explicit ObjectCalls(bool ownLocking = false)
        : slot_(addTokenSlot()), manager_(connectWith(ownLocking)), client_(*manager_->getClient()) {
        client_.openSession(slot_, CKF_RW_SESSION, session_);
        Control::clearCalls();
    }

    static std::unique_ptr<PKCS11Manager> connectWith(bool ownLocking) {
        // A library initialised without arguments leaves the locking to the client.
        if (ownLocking) Control::scriptInitialize({CKR_ARGUMENTS_BAD});
        return connect();
    }

    // Token data objects with this label, in creation order.
    std::vector<CK_OBJECT_HANDLE> addDataObjects(int count, const std::string& label) {
        std::vector<CK_OBJECT_HANDLE> handles;
        for (int i = 0; i < count; ++i)
            handles.push_back(Control::addObject(
                slot_, {{CKA_CLASS, testtoken::ulongValue(CKO_DATA)}, {CKA_LABEL, testtoken::textValue(label)}}));
        return handles;
    }

    static AttributeTemplate labelled(const std::string& label) {
        AttributeTemplate search;
        search.setULong(CKA_CLASS, CKO_DATA);
        search.setText(CKA_LABEL, ZEPString(label.c_str()));
        return search;
    }

    // What each C_FindObjects call delivered.
    static std::vector<CK_ULONG> deliveries() {
        std::vector<CK_ULONG> counts;
        for (const auto& call : Control::callsOf("C_FindObjects")) {
            EXPECT_EQ(call.arg("ulMaxObjectCount"), 10u);
            counts.push_back(call.arg("pulObjectCount.out"));
        }
        return counts;
    }

    CK_SLOT_ID slot_;
    std::unique_ptr<PKCS11Manager> manager_;
    PKCS11Client& client_;
    CK_SESSION_HANDLE session_ = 0;
};

TEST_F(ObjectCalls, SearchFetchesBatchesOfTenUntilOneFallsShort) {
    const std::vector<std::pair<int, std::vector<CK_ULONG>>> cases = {
        {0, {0}}, {10, {10, 0}}, {25, {10, 10, 5}}};
    for (const auto& [count, batches] : cases) {
        const std::string label = "group " + std::to_string(count);
        std::vector<CK_OBJECT_HANDLE> expected{777};
        for (CK_OBJECT_HANDLE handle : addDataObjects(count, label)) expected.push_back(handle);
        addDataObjects(3, "others");
        Control::clearCalls();

        std::vector<CK_OBJECT_HANDLE> found{777};
        AttributeTemplate search = labelled(label);
        EXPECT_EQ(client_.findObjects(session_, search, found), CKR_OK);
        EXPECT_EQ(found, expected) << count << " objects";
        EXPECT_EQ(deliveries(), batches) << count << " objects";
        EXPECT_EQ(Control::callCount("C_FindObjectsFinal"), 1u);
    }
    EXPECT_EQ(Control::callsOf("C_FindObjectsInit").back().attributeTypes,
              (std::vector<CK_ATTRIBUTE_TYPE>{CKA_CLASS, CKA_LABEL}));
}

TEST_F(ObjectCalls, FailedBatchThrowsOnlyWhenItDeliveredHandles) {
    const auto handles = addDataObjects(15, "data");
    AttributeTemplate search = labelled("data");
    std::vector<CK_OBJECT_HANDLE> quiet, loud;
    Control::failOnCall("C_FindObjects", CKR_DEVICE_ERROR, 2);
    EXPECT_EQ(client_.findObjects(session_, search, quiet), CKR_OK);
    EXPECT_EQ(quiet, std::vector<CK_OBJECT_HANDLE>(handles.begin(), handles.begin() + 10));
    EXPECT_EQ(Control::callCount("C_FindObjectsFinal"), 1u);

    Control::clearCalls();
    Control::failAfterWork("C_FindObjects", CKR_DEVICE_ERROR, 2);
    expectFailure([&] { client_.findObjects(session_, search, loud); }, 577905, "C_FindObjects", CKR_DEVICE_ERROR);
    EXPECT_EQ(loud, quiet);
    EXPECT_EQ(deliveries(), (std::vector<CK_ULONG>{10, 5}));
    EXPECT_NE(session_, 0u);
    // The failed search is finished, so the next one on the session works;
    // one whose end failed is finished by the next search before it starts.
    EXPECT_EQ(Control::callCount("C_FindObjectsFinal"), 1u);
    Control::failOnCall("C_FindObjectsFinal", CKR_DEVICE_ERROR);
    expectFailure([&] { client_.findObjects(session_, search, loud); }, 577905, "C_FindObjectsFinal",
                  CKR_DEVICE_ERROR);
    loud.clear();
    EXPECT_EQ(client_.findObjects(session_, search, loud), CKR_OK);
    EXPECT_EQ(loud, handles);
}

TEST_F(ObjectCalls, SearchStopsAtTheFirstFailingStep) {
    addDataObjects(3, "data");
    AttributeTemplate search = labelled("data");
    std::vector<CK_OBJECT_HANDLE> found;
    Control::failOnCall("C_FindObjectsInit", CKR_DEVICE_ERROR);
    expectFailure([&] { client_.findObjects(session_, search, found); }, 577905, "C_FindObjectsInit",
                  CKR_DEVICE_ERROR);
    EXPECT_EQ(Control::callCount("C_FindObjects"), 0u);
    EXPECT_EQ(Control::callCount("C_FindObjectsFinal"), 0u);

    Control::failAfterWork("C_FindObjectsFinal", CKR_SESSION_HANDLE_INVALID);
    expectFailure([&] { client_.findObjects(session_, search, found); }, 577905, "C_FindObjectsFinal",
                  CKR_SESSION_HANDLE_INVALID);
    EXPECT_EQ(found.size(), 3u);
    EXPECT_EQ(session_, 0u);
}

TEST_F(ObjectCalls, MissingSearchFunctionIsReportedByName) {
    manager_.reset();
    Control::removeFunction("C_FindObjectsInit");
    auto manager = connect();
    AttributeTemplate search;
    std::vector<CK_OBJECT_HANDLE> found;
    expectFailure([&] { manager->getClient()->findObjects(session_, search, found); }, 571004,
                  "C_FindObjectsInit is not supported by this cryptoki library");
}

TEST_F(ObjectCalls, ValuesOfUnknownLengthAreFetchedInASecondPass) {
    const AttributeValue value(300, 0xAB);
    const CK_OBJECT_HANDLE object = Control::addObject(
        slot_, {{CKA_CLASS, testtoken::ulongValue(CKO_DATA)}, {CKA_VALUE, value}, {CKA_LABEL, {}}});
    AttributeTemplate request, result;
    request.addAttribute(CKA_CLASS);
    request.addAttribute(CKA_VALUE);
    request.addAttribute(CKA_LABEL);
    EXPECT_EQ(client_.getAttributeValue(session_, object, request, result), CKR_OK);

    CK_ULONG objectClass = 99;
    ZEPBuffer read, label(1, "x");
    ASSERT_TRUE(result.getAttribute(CKA_CLASS, objectClass));
    ASSERT_TRUE(result.getAttribute(CKA_VALUE, read));
    ASSERT_TRUE(result.getAttribute(CKA_LABEL, label));
    EXPECT_EQ(objectClass, CKO_DATA);
    EXPECT_EQ(read, ZEPBuffer(value.size(), value.data()));
    EXPECT_TRUE(label.empty());
    const auto passes = Control::callsOf("C_GetAttributeValue");
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_EQ(passes[0].attributeTypes, (std::vector<CK_ATTRIBUTE_TYPE>{CKA_CLASS, CKA_LABEL, CKA_VALUE}));
    EXPECT_EQ(passes[1].attributeTypes, std::vector<CK_ATTRIBUTE_TYPE>{CKA_VALUE});
}

TEST_F(ObjectCalls, SensitiveAndUnknownAttributesAreLeftOutOfTheResult) {
    const CK_OBJECT_HANDLE key = Control::addObject(
        slot_, {{CKA_CLASS, testtoken::ulongValue(CKO_PRIVATE_KEY)}, {CKA_PRIVATE, testtoken::boolValue(false)},
                {CKA_SENSITIVE, testtoken::boolValue(true)}, {CKA_MODULUS, AttributeValue(128, 0xC1)},
                {CKA_PRIVATE_EXPONENT, AttributeValue(128, 0x5E)}});
    for (auto [hidden, answer] : {std::pair{CKA_PRIVATE_EXPONENT, CKR_ATTRIBUTE_SENSITIVE},
                                  std::pair{CKA_ID, CKR_ATTRIBUTE_TYPE_INVALID}}) {
        AttributeTemplate request, result;
        request.addAttribute(CKA_CLASS);
        request.addAttribute(hidden);
        request.setAttribute(CKA_MODULUS, ZEPBuffer(128, nullptr));
        EXPECT_EQ(client_.getAttributeValue(session_, key, request, result), answer);
        // With a value of unknown length the second pass's answer is the result.
        request.addAttribute(CKA_MODULUS);
        AttributeTemplate twoPasses;
        EXPECT_EQ(client_.getAttributeValue(session_, key, request, twoPasses), CKR_OK);
        for (const AttributeTemplate& read : {result, twoPasses}) {
            ZEPBuffer modulus;
            EXPECT_TRUE(read.getAttribute(CKA_MODULUS, modulus));
            EXPECT_EQ(modulus, ZEPBuffer(128, AttributeValue(128, 0xC1).data()));
            EXPECT_EQ(read.size(), 2u);
        }
    }

    AttributeTemplate tooSmall, result;
    tooSmall.setAttribute(CKA_MODULUS, ZEPBuffer(16, nullptr));
    expectFailure([&] { client_.getAttributeValue(session_, key, tooSmall, result); }, 577905,
                  "C_GetAttributeValue", CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(result.size(), 0u);
    EXPECT_NE(session_, 0u);
}

TEST_F(ObjectCalls, ObjectsAreCreatedChangedCopiedAndDestroyed) {
    AttributeTemplate attributes;
    attributes.setAttribute(CKA_VALUE, ZEPBuffer(3, "abc"));
    attributes.setText(CKA_LABEL, ZEPString("first"));
    attributes.setBool(CKA_TOKEN, true);
    attributes.setULong(CKA_CLASS, CKO_DATA);
    CK_OBJECT_HANDLE object = 0, copy = 0;
    client_.createObject(session_, attributes, object);
    EXPECT_EQ(Control::callsOf("C_CreateObject")[0].attributeTypes,
              (std::vector<CK_ATTRIBUTE_TYPE>{CKA_CLASS, CKA_TOKEN, CKA_LABEL, CKA_VALUE}));
    EXPECT_EQ(Control::object(slot_, object).attributes.at(CKA_VALUE), testtoken::textValue("abc"));

    AttributeTemplate relabel;
    relabel.setText(CKA_LABEL, ZEPString("second"));
    client_.setAttributeValue(session_, object, relabel);
    client_.copyObject(session_, object, relabel, copy);
    EXPECT_NE(copy, object);
    EXPECT_EQ(Control::object(slot_, copy).attributes.at(CKA_LABEL), testtoken::textValue("second"));

    client_.destroyObject(session_, object);
    ASSERT_EQ(Control::objects(slot_).size(), 1u);
    EXPECT_EQ(Control::objects(slot_)[0].handle, copy);
    expectFailure([&] { client_.destroyObject(session_, object); }, 577905, "C_DestroyObject",
                  CKR_OBJECT_HANDLE_INVALID);
    EXPECT_NE(session_, 0u);
    Control::failOnCall("C_DestroyObject", CKR_SESSION_CLOSED);
    expectFailure([&] { client_.destroyObject(session_, copy); }, 577905, "C_DestroyObject", CKR_SESSION_CLOSED);
    EXPECT_EQ(session_, 0u);
}

// Every call that may change a token counts as one write once it returned,
// failed or not; reads and searches count nothing.
TEST_F(ObjectCalls, EveryWriteIsCountedOnceItReturns) {
    const CK_OBJECT_HANDLE object = addDataObjects(1, "counted").front();
    AttributeTemplate relabel = labelled("relabelled"), empty;
    CK_OBJECT_HANDLE made = 0, other = 0;
    std::vector<CK_OBJECT_HANDLE> found;
    const struct {
        const char* name;
        std::function<void()> call;
        uint64_t writes;
    } cases[] = {
        {"create", [&] { client_.createObject(session_, relabel, made); }, 1},
        {"set attributes", [&] { client_.setAttributeValue(session_, object, relabel); }, 1},
        {"copy", [&] { client_.copyObject(session_, object, relabel, made); }, 1},
        {"destroy", [&] { client_.destroyObject(session_, made); }, 1},
        {"generate a key", [&] { client_.generateKey(session_, CKM_RSA_PKCS_KEY_PAIR_GEN, empty, made); }, 1},
        {"generate a key pair",
         [&] { client_.generateKeyPair(session_, CKM_RSA_PKCS_KEY_PAIR_GEN, empty, empty, made, other); }, 1},
        {"initialise the user PIN", [&] { client_.initPin(session_, pin("5678")); }, 1},
        {"initialise the token", [&] { client_.initToken(slot_, pin("wrong"), "label"); }, 1},
        {"read", [&] { client_.getAttributeValue(session_, object, relabel, empty); }, 0},
        {"search", [&] { client_.findObjects(session_, relabel, found); }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const uint64_t before = client_.writeCount();
        try {
            c.call();
        } catch (const ZEPPKCS11Exception&) {
            // A failed write may have changed the token all the same.
        }
        EXPECT_EQ(client_.writeCount() - before, c.writes);
    }
}

TEST_F(ObjectCalls, EmptyTemplatesCallNothingOrGoAsNull) {
    const CK_OBJECT_HANDLE object = addDataObjects(1, "data")[0];
    AttributeTemplate empty;
    CK_OBJECT_HANDLE created = 99, copy = 0, publicKey = 0, privateKey = 0;
    EXPECT_EQ(client_.createObject(session_, empty, created), CKR_OK);
    EXPECT_EQ(created, 0u);
    EXPECT_EQ(client_.setAttributeValue(session_, object, empty), CKR_OK);
    EXPECT_EQ(Control::callCount("C_CreateObject") + Control::callCount("C_SetAttributeValue"), 0u);

    client_.copyObject(session_, object, empty, copy);
    client_.findObjectsInit(session_, empty);
    client_.findObjectsFinal(session_);
    expectFailure([&] { client_.generateKeyPair(session_, CKM_RSA_PKCS_KEY_PAIR_GEN, empty, empty, publicKey,
                                                privateKey); },
                  577911, "C_GenerateKeyPair", CKR_TEMPLATE_INCOMPLETE);
    for (const auto& [function, pointer, count] :
         {std::tuple{"C_CopyObject", "pTemplate", "ulCount"}, std::tuple{"C_FindObjectsInit", "pTemplate", "ulCount"},
          std::tuple{"C_GenerateKeyPair", "pPublicKeyTemplate", "ulPublicKeyAttributeCount"},
          std::tuple{"C_GenerateKeyPair", "pPrivateKeyTemplate", "ulPrivateKeyAttributeCount"}}) {
        const auto call = Control::callsOf(function).at(0);
        EXPECT_EQ(call.arg(pointer), 0u) << function;
        EXPECT_EQ(call.arg(count), 0u) << function;
    }
    EXPECT_EQ(Control::objects(slot_).size(), 2u);
}

TEST_F(ObjectCalls, KeyPairIsGeneratedFromBothTemplates) {
    AttributeTemplate publicTemplate, privateTemplate;
    publicTemplate.setAttribute(CKA_PUBLIC_EXPONENT, ZEPBuffer(3, "\x01\x00\x01"));
    publicTemplate.setULong(CKA_MODULUS_BITS, CK_ULONG{1024});
    publicTemplate.setBool(CKA_TOKEN, true);
    publicTemplate.setBool(CKA_VERIFY, false);
    for (CK_ATTRIBUTE_TYPE flag : {CKA_TOKEN, CKA_PRIVATE, CKA_SENSITIVE, CKA_DECRYPT, CKA_SIGN})
        privateTemplate.setBool(flag, true);
    CK_OBJECT_HANDLE publicKey = 0, privateKey = 0;
    // A private key needs the user.
    expectFailure([&] { client_.generateKeyPair(session_, CKM_RSA_PKCS_KEY_PAIR_GEN, publicTemplate,
                                                privateTemplate, publicKey, privateKey); },
                  577911, "C_GenerateKeyPair", CKR_USER_NOT_LOGGED_IN);
    client_.login(session_, CKU_USER, pin("1234"));
    client_.generateKeyPair(session_, CKM_RSA_PKCS_KEY_PAIR_GEN, publicTemplate, privateTemplate, publicKey,
                            privateKey);
    const auto call = Control::callsOf("C_GenerateKeyPair").back();
    EXPECT_EQ(call.arg("mechanism"), CKM_RSA_PKCS_KEY_PAIR_GEN);
    EXPECT_EQ(call.arg("ulPublicKeyAttributeCount"), 4u);
    EXPECT_EQ(call.attributeTypes,
              (std::vector<CK_ATTRIBUTE_TYPE>{CKA_TOKEN, CKA_VERIFY, CKA_MODULUS_BITS, CKA_PUBLIC_EXPONENT, CKA_TOKEN,
                                              CKA_PRIVATE, CKA_SENSITIVE, CKA_DECRYPT, CKA_SIGN}));

    AttributeTemplate request, result;
    request.setAttribute(CKA_MODULUS, ZEPBuffer(128, nullptr));
    request.addAttribute(CKA_PRIVATE_EXPONENT);
    EXPECT_EQ(client_.getAttributeValue(session_, privateKey, request, result), CKR_ATTRIBUTE_SENSITIVE);
    ZEPBuffer modulus;
    ASSERT_TRUE(result.getAttribute(CKA_MODULUS, modulus));
    EXPECT_EQ(modulus.getLength(), 128u);
    EXPECT_GE(modulus.getValue()[0], 0x80);

    // Once the user is gone, only the public key is found.
    client_.logout(session_);
    AttributeTemplate keys;
    std::vector<CK_OBJECT_HANDLE> found;
    client_.findObjects(session_, keys, found);
    EXPECT_EQ(found, std::vector<CK_OBJECT_HANDLE>{publicKey});
    expectFailure([&] { client_.generateKey(session_, CKM_RSA_PKCS_KEY_PAIR_GEN, keys, publicKey); }, 577911,
                  "C_GenerateKey", CKR_MECHANISM_INVALID);
}

// With the client's own locking on, a search holds the client mutex from
// C_FindObjectsInit to C_FindObjectsFinal, so threads sharing one session never
// find its search already active.
class ObjectCallsConcurrency : public ObjectCalls {
protected:
    ObjectCallsConcurrency() : ObjectCalls(true) {}
};

TEST_F(ObjectCallsConcurrency, SearchesOnASharedSessionAndTwoPassReadsAreNeverInterleaved) {
    ASSERT_TRUE(client_.isLockingOn());
    const auto handles = addDataObjects(25, "data");
    std::vector<std::jthread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                AttributeTemplate search = labelled("data");
                std::vector<CK_OBJECT_HANDLE> found;
                EXPECT_NO_THROW(client_.findObjects(session_, search, found));
                EXPECT_EQ(found, handles);
            }
        });
    }
    threads.clear();
    // A read sizes a value, then fetches it: no other call of the library
    // may come between its two passes. More threads than cores get some
    // readers preempted between the passes.
    const CK_OBJECT_HANDLE object = addDataObjects(1, "other")[0];
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&] {
            CK_SESSION_HANDLE session = 0;
            client_.openSession(slot_, 0, session);
            for (int i = 0; i < 1000; ++i) {
                AttributeTemplate request, result;
                request.addAttribute(CKA_LABEL);
                EXPECT_NO_THROW(client_.getAttributeValue(session, object, request, result));
            }
        });
    threads.clear();
    const auto calls = Control::calls();
    std::map<CK_ULONG, size_t> passes;
    for (size_t i = 0; i + 1 < calls.size(); ++i) {
        if (calls[i].function != "C_GetAttributeValue" || passes[calls[i].arg("hSession")]++ % 2) continue;
        EXPECT_EQ(calls[i + 1].function, "C_GetAttributeValue");
        EXPECT_EQ(calls[i + 1].arg("hSession"), calls[i].arg("hSession"));
    }
    EXPECT_EQ(Control::callCount("C_FindObjectsFinal"), 80u);
}

}  // namespace
