// Smoke test of the test token: the library loaded by path shares its state with the
// control interface, and scripting, injection and the call log work.
#include "testtoken/testtokencontrol.h"
#include "zepplatform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using testtoken::Bytes;
using testtoken::Control;

struct MutexCallbacks {
    static inline std::atomic<int> created{0}, destroyed{0}, locked{0}, unlocked{0};

    static CK_RV create(CK_VOID_PTR_PTR mutex) {
        *mutex = new std::mutex;
        ++created;
        return CKR_OK;
    }
    static CK_RV destroy(CK_VOID_PTR mutex) {
        delete static_cast<std::mutex*>(mutex);
        ++destroyed;
        return CKR_OK;
    }
    static CK_RV lock(CK_VOID_PTR mutex) {
        static_cast<std::mutex*>(mutex)->lock();
        ++locked;
        return CKR_OK;
    }
    static CK_RV unlock(CK_VOID_PTR mutex) {
        static_cast<std::mutex*>(mutex)->unlock();
        ++unlocked;
        return CKR_OK;
    }
};

class TestTokenTest : public ::testing::Test {
protected:
    void SetUp() override {
        Control::reset();
        Control::addSlot({});
        Control::addSlot({.id = 7, .tokenPresent = false, .token = {}});
        ASSERT_EQ(zep_load_library(TESTTOKEN_LIBRARY_PATH, library_), 0);
        void* getFunctionList = nullptr;
        ASSERT_EQ(zep_get_func_address(library_, "C_GetFunctionList", getFunctionList), 0);
        ASSERT_EQ(reinterpret_cast<CK_C_GetFunctionList>(getFunctionList)(&p11_), CKR_OK);
    }
    void TearDown() override { zep_free_library(library_); }

    void* library_ = nullptr;
    CK_FUNCTION_LIST* p11_ = nullptr;
};

TEST_F(TestTokenTest, SlotListFollowsTwoCallProtocolAndIsLogged) {
    CK_ULONG count = 0;
    EXPECT_EQ(p11_->C_GetSlotList(CK_FALSE, nullptr, &count), CKR_CRYPTOKI_NOT_INITIALIZED);
    ASSERT_EQ(p11_->C_Initialize(nullptr), CKR_OK);
    EXPECT_EQ(p11_->C_Initialize(nullptr), CKR_CRYPTOKI_ALREADY_INITIALIZED);

    ASSERT_EQ(p11_->C_GetSlotList(CK_TRUE, nullptr, &count), CKR_OK);
    EXPECT_EQ(count, 1u);
    CK_SLOT_ID slots[2] = {};
    count = 1;
    EXPECT_EQ(p11_->C_GetSlotList(CK_FALSE, slots, &count), CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(p11_->C_GetSlotList(CK_FALSE, slots, &count), CKR_OK);
    EXPECT_EQ(slots[1], 7u);

    const auto calls = Control::callsOf("C_GetSlotList");
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].result, CKR_CRYPTOKI_NOT_INITIALIZED);
    EXPECT_EQ(calls[1].arg("pSlotList"), 0u);
    EXPECT_EQ(calls[2].arg("pulCount.in"), 1u);
    EXPECT_EQ(calls[2].arg("pulCount.out"), 2u);
    EXPECT_EQ(calls[2].result, CKR_BUFFER_TOO_SMALL);
    EXPECT_THROW(calls[2].arg("slotID"), std::out_of_range);
    EXPECT_EQ(Control::callCount("C_Initialize"), 2u);
}

TEST_F(TestTokenTest, ScriptedInitializeThenCallbacksLockEveryCall) {
    Control::scriptInitialize({CKR_CANT_LOCK});
    CK_C_INITIALIZE_ARGS args{nullptr, nullptr, nullptr, nullptr, CKF_OS_LOCKING_OK, nullptr};
    EXPECT_EQ(p11_->C_Initialize(&args), CKR_CANT_LOCK);
    EXPECT_FALSE(Control::isInitialized());

    MutexCallbacks::created = MutexCallbacks::destroyed = MutexCallbacks::locked = MutexCallbacks::unlocked = 0;
    args = {MutexCallbacks::create, MutexCallbacks::destroy, MutexCallbacks::lock, MutexCallbacks::unlock, 0, nullptr};
    ASSERT_EQ(p11_->C_Initialize(&args), CKR_OK);
    CK_INFO info{};
    ASSERT_EQ(p11_->C_GetInfo(&info), CKR_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(info.manufacturerID), 32), "Mervil Test" + std::string(21, ' '));
    EXPECT_EQ(MutexCallbacks::locked, 1);
    EXPECT_EQ(MutexCallbacks::unlocked, 1);
    ASSERT_EQ(p11_->C_Finalize(nullptr), CKR_OK);
    EXPECT_EQ(MutexCallbacks::created, 1);
    EXPECT_EQ(MutexCallbacks::destroyed, 1);

    const auto initializations = Control::callsOf("C_Initialize");
    ASSERT_EQ(initializations.size(), 2u);
    EXPECT_EQ(initializations[0].arg("flags"), CKF_OS_LOCKING_OK);
    EXPECT_EQ(initializations[0].arg("CreateMutex"), 0u);
    EXPECT_EQ(initializations[1].arg("UnlockMutex"), 1u);
}

TEST_F(TestTokenTest, InjectedFailuresAndRemovedFunctions) {
    ASSERT_EQ(p11_->C_Initialize(nullptr), CKR_OK);
    Control::failOnCall("C_GetInfo", CKR_DEVICE_ERROR, 2);
    CK_INFO info{};
    EXPECT_EQ(p11_->C_GetInfo(&info), CKR_OK);
    EXPECT_EQ(p11_->C_GetInfo(&info), CKR_DEVICE_ERROR);
    EXPECT_EQ(p11_->C_GetInfo(&info), CKR_OK);
    EXPECT_EQ(p11_->C_CancelFunction(1), CKR_FUNCTION_NOT_SUPPORTED);

    Control::removeFunction("C_GetSlotInfo");
    EXPECT_THROW(Control::removeFunction("C_GetSlotInfos"), std::invalid_argument);
    CK_FUNCTION_LIST* reduced = nullptr;
    ASSERT_EQ(p11_->C_GetFunctionList(&reduced), CKR_OK);
    EXPECT_EQ(reduced->C_GetSlotInfo, nullptr);
    EXPECT_NE(reduced->C_GetTokenInfo, nullptr);
    EXPECT_NE(p11_->C_GetSlotInfo, nullptr);
}

TEST_F(TestTokenTest, LoginIsSharedByTheTokensSessionsUntilTheLastCloses) {
    ASSERT_EQ(p11_->C_Initialize(nullptr), CKR_OK);
    CK_SESSION_HANDLE readOnly = 0, readWrite = 0;
    ASSERT_EQ(p11_->C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &readOnly), CKR_OK);
    ASSERT_EQ(p11_->C_OpenSession(1, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &readWrite), CKR_OK);
    EXPECT_EQ(p11_->C_OpenSession(1, 0, nullptr, nullptr, &readWrite), CKR_SESSION_PARALLEL_NOT_SUPPORTED);
    EXPECT_EQ(p11_->C_OpenSession(7, CKF_SERIAL_SESSION, nullptr, nullptr, &readWrite), CKR_TOKEN_NOT_PRESENT);

    CK_UTF8CHAR so[] = "12345678", wrong[] = "9999", user[] = "1234";
    EXPECT_EQ(p11_->C_Login(readWrite, CKU_SO, so, 8), CKR_SESSION_READ_ONLY_EXISTS);
    EXPECT_EQ(p11_->C_Login(readWrite, CKU_USER, wrong, 4), CKR_PIN_INCORRECT);
    ASSERT_EQ(p11_->C_Login(readWrite, CKU_USER, user, 4), CKR_OK);
    EXPECT_EQ(p11_->C_Login(readOnly, CKU_USER, user, 4), CKR_USER_ALREADY_LOGGED_IN);
    CK_SESSION_INFO info{};
    ASSERT_EQ(p11_->C_GetSessionInfo(readOnly, &info), CKR_OK);
    EXPECT_EQ(info.state, CKS_RO_USER_FUNCTIONS);
    EXPECT_EQ(Control::callsOf("C_Login").back().arg("ulPinLen"), 4u);

    ASSERT_EQ(p11_->C_CloseSession(readWrite), CKR_OK);
    EXPECT_EQ(Control::loggedInUser(1), CKU_USER);
    Control::setTokenPresent(1, false);
    EXPECT_EQ(Control::loggedInUser(1), std::nullopt);
    EXPECT_EQ(p11_->C_GetSessionInfo(readOnly, &info), CKR_SESSION_HANDLE_INVALID);
}

TEST_F(TestTokenTest, ConcurrentSessionsThroughApplicationMutex) {
    CK_C_INITIALIZE_ARGS args{MutexCallbacks::create, MutexCallbacks::destroy, MutexCallbacks::lock,
                              MutexCallbacks::unlock, 0, nullptr};
    ASSERT_EQ(p11_->C_Initialize(&args), CKR_OK);
    std::vector<std::jthread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this] {
            for (int i = 0; i < 100; ++i) {
                CK_SESSION_HANDLE session = 0;
                CK_SESSION_INFO info{};
                EXPECT_EQ(p11_->C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &session), CKR_OK);
                EXPECT_EQ(p11_->C_GetSessionInfo(session, &info), CKR_OK);
                EXPECT_EQ(p11_->C_CloseSession(session), CKR_OK);
            }
        });
    }
    threads.clear();
    EXPECT_EQ(Control::sessionCount(1), 0u);
    EXPECT_EQ(Control::callCount("C_OpenSession"), 400u);
    EXPECT_EQ(p11_->C_Finalize(nullptr), CKR_OK);
}

TEST_F(TestTokenTest, ObjectsLiveAsLongAsTheirSessionOrTokenAndHideWhilePrivate) {
    ASSERT_EQ(p11_->C_Initialize(nullptr), CKR_OK);
    CK_SESSION_HANDLE readOnly = 0, readWrite = 0;
    ASSERT_EQ(p11_->C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &readOnly), CKR_OK);
    ASSERT_EQ(p11_->C_OpenSession(1, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &readWrite), CKR_OK);
    CK_OBJECT_CLASS data = CKO_DATA;
    CK_BBOOL yes = CK_TRUE;
    CK_ATTRIBUTE tokenObject[] = {{CKA_CLASS, &data, sizeof data}, {CKA_TOKEN, &yes, 1}};
    CK_ATTRIBUTE privateObject[] = {{CKA_CLASS, &data, sizeof data}, {CKA_PRIVATE, &yes, 1}};
    CK_OBJECT_HANDLE object = 0;
    EXPECT_EQ(p11_->C_CreateObject(readOnly, tokenObject, 2, &object), CKR_SESSION_READ_ONLY);
    EXPECT_EQ(p11_->C_CreateObject(readWrite, privateObject, 2, &object), CKR_USER_NOT_LOGGED_IN);
    ASSERT_EQ(p11_->C_CreateObject(readOnly, tokenObject, 1, &object), CKR_OK);
    const CK_OBJECT_HANDLE hidden = Control::addObject(1, {{CKA_CLASS, testtoken::ulongValue(CKO_DATA)},
                                                           {CKA_PRIVATE, testtoken::boolValue(true)}});
    EXPECT_EQ(Control::object(1, object).session, readOnly);
    EXPECT_EQ(Control::object(1, hidden).session, std::nullopt);

    auto findAll = [&] {
        std::vector<CK_OBJECT_HANDLE> found(4);
        CK_ULONG count = 0;
        EXPECT_EQ(p11_->C_FindObjectsInit(readWrite, nullptr, 0), CKR_OK);
        EXPECT_EQ(p11_->C_FindObjectsInit(readWrite, nullptr, 0), CKR_OPERATION_ACTIVE);
        EXPECT_EQ(p11_->C_FindObjects(readWrite, found.data(), found.size(), &count), CKR_OK);
        EXPECT_EQ(p11_->C_FindObjectsFinal(readWrite), CKR_OK);
        found.resize(count);
        return found;
    };
    EXPECT_EQ(findAll(), std::vector<CK_OBJECT_HANDLE>{object});
    CK_ULONG size = 0;
    EXPECT_EQ(p11_->C_GetObjectSize(readWrite, hidden, &size), CKR_OBJECT_HANDLE_INVALID);
    CK_UTF8CHAR user[] = "1234";
    ASSERT_EQ(p11_->C_Login(readWrite, CKU_USER, user, 4), CKR_OK);
    EXPECT_EQ(findAll(), (std::vector<CK_OBJECT_HANDLE>{object, hidden}));
    EXPECT_EQ(p11_->C_FindObjectsFinal(readWrite), CKR_OPERATION_NOT_INITIALIZED);
    const auto found = Control::callsOf("C_FindObjects").back();
    EXPECT_EQ(found.arg("ulMaxObjectCount"), 4u);
    EXPECT_EQ(found.arg("pulObjectCount.out"), 2u);

    ASSERT_EQ(p11_->C_CloseSession(readOnly), CKR_OK);
    EXPECT_EQ(Control::objects(1).size(), 1u);
    ASSERT_EQ(p11_->C_CloseSession(readWrite), CKR_OK);
    CK_UTF8CHAR so[] = "12345678", label[32] = {' '};
    ASSERT_EQ(p11_->C_InitToken(1, so, 8, label), CKR_OK);
    EXPECT_TRUE(Control::objects(1).empty());
}

TEST_F(TestTokenTest, AttributesAreReadAndChangedByTheStandardsRules) {
    ASSERT_EQ(p11_->C_Initialize(nullptr), CKR_OK);
    CK_SESSION_HANDLE readOnly = 0, readWrite = 0;
    ASSERT_EQ(p11_->C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &readOnly), CKR_OK);
    ASSERT_EQ(p11_->C_OpenSession(1, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &readWrite), CKR_OK);
    const CK_OBJECT_HANDLE key = Control::addObject(
        1, {{CKA_CLASS, testtoken::ulongValue(CKO_PRIVATE_KEY)}, {CKA_PRIVATE, testtoken::boolValue(false)},
            {CKA_SENSITIVE, testtoken::boolValue(true)}, {CKA_LABEL, testtoken::textValue("key")},
            {CKA_MODULUS, {1, 2, 3}}, {CKA_PRIVATE_EXPONENT, {4, 5, 6}}});

    CK_BYTE small[2], large[8];
    CK_ATTRIBUTE read[] = {{CKA_LABEL, nullptr, 0},
                           {CKA_MODULUS, small, sizeof small},
                           {CKA_PRIVATE_EXPONENT, large, sizeof large},
                           {CKA_ID, large, sizeof large}};
    EXPECT_EQ(p11_->C_GetAttributeValue(readOnly, key, read, 4), CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(read[0].ulValueLen, 3u);
    for (const CK_ATTRIBUTE& unavailable : {read[1], read[2], read[3]}) {
        EXPECT_EQ(unavailable.ulValueLen, CK_UNAVAILABLE_INFORMATION);
    }
    EXPECT_EQ(p11_->C_GetAttributeValue(readOnly, key, read + 2, 2), CKR_ATTRIBUTE_SENSITIVE);
    EXPECT_EQ(Control::callsOf("C_GetAttributeValue")[0].attributeTypes,
              (std::vector<CK_ATTRIBUTE_TYPE>{CKA_LABEL, CKA_MODULUS, CKA_PRIVATE_EXPONENT, CKA_ID}));

    CK_OBJECT_CLASS data = CKO_DATA;
    CK_ATTRIBUTE relabel[] = {{CKA_LABEL, small, sizeof small}}, reclass[] = {{CKA_CLASS, &data, sizeof data}};
    EXPECT_EQ(p11_->C_SetAttributeValue(readOnly, key, relabel, 1), CKR_SESSION_READ_ONLY);
    EXPECT_EQ(p11_->C_SetAttributeValue(readWrite, key, reclass, 1), CKR_ATTRIBUTE_READ_ONLY);
    ASSERT_EQ(p11_->C_SetAttributeValue(readWrite, key, relabel, 1), CKR_OK);
    EXPECT_EQ(Control::object(1, key).attributes.at(CKA_LABEL).size(), sizeof small);
    const CK_OBJECT_HANDLE fixed = Control::addObject(
        1, {{CKA_CLASS, testtoken::ulongValue(CKO_DATA)}, {CKA_MODIFIABLE, testtoken::boolValue(false)}});
    EXPECT_EQ(p11_->C_SetAttributeValue(readWrite, fixed, relabel, 1), CKR_ATTRIBUTE_READ_ONLY);

    testtoken::SlotSettings writeProtected;
    writeProtected.id = 2;
    writeProtected.token.flags = CKF_WRITE_PROTECTED | CKF_TOKEN_INITIALIZED;
    Control::addSlot(writeProtected);
    CK_SESSION_HANDLE protectedSession = 0;
    ASSERT_EQ(p11_->C_OpenSession(2, CKF_SERIAL_SESSION, nullptr, nullptr, &protectedSession), CKR_OK);
    const CK_OBJECT_HANDLE stored = Control::addObject(2, {{CKA_CLASS, testtoken::ulongValue(CKO_DATA)}});
    EXPECT_EQ(p11_->C_SetAttributeValue(protectedSession, stored, relabel, 1), CKR_TOKEN_WRITE_PROTECTED);
    EXPECT_EQ(p11_->C_DestroyObject(protectedSession, stored), CKR_TOKEN_WRITE_PROTECTED);
}

// The RSA mechanisms on slot 1, a read-write session with the user logged in and
// two 1024-bit key pairs made by C_GenerateKeyPair.
class CryptoTest : public TestTokenTest {
protected:
    using Init = CK_RV (*)(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_OBJECT_HANDLE);
    using OneShot = CK_RV (*)(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR);
    struct KeyPair {
        CK_OBJECT_HANDLE publicKey = 0, privateKey = 0;
    };

    void SetUp() override {
        TestTokenTest::SetUp();
        Control::setMechanisms(1, testtoken::rsaMechanisms());
        ASSERT_EQ(p11_->C_Initialize(nullptr), CKR_OK);
        ASSERT_EQ(p11_->C_OpenSession(1, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session_), CKR_OK);
        CK_UTF8CHAR pin[] = "1234";
        ASSERT_EQ(p11_->C_Login(session_, CKU_USER, pin, 4), CKR_OK);
        CK_ULONG bits = 1024;
        CK_ATTRIBUTE publicKey[] = {{CKA_MODULUS_BITS, &bits, sizeof bits}};
        CK_MECHANISM generation{CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
        for (KeyPair* pair : {&pair_, &other_}) {
            ASSERT_EQ(p11_->C_GenerateKeyPair(session_, &generation, publicKey, 1, nullptr, 0, &pair->publicKey,
                                              &pair->privateKey),
                      CKR_OK);
        }
    }

    CK_RV start(Init init, CK_MECHANISM_TYPE type, CK_OBJECT_HANDLE key) {
        CK_MECHANISM mechanism{type, nullptr, 0};
        return init(session_, &mechanism, key);
    }
    // A one-shot call made twice, for the length and for the output.
    Bytes output(OneShot call, Bytes input) {
        CK_ULONG length = 0;
        EXPECT_EQ(call(session_, input.data(), input.size(), nullptr, &length), CKR_OK);
        Bytes out(length);
        EXPECT_EQ(call(session_, input.data(), input.size(), out.data(), &length), CKR_OK);
        out.resize(length);
        return out;
    }
    Bytes run(Init init, OneShot call, CK_MECHANISM_TYPE type, CK_OBJECT_HANDLE key, const Bytes& input) {
        EXPECT_EQ(start(init, type, key), CKR_OK);
        return output(call, input);
    }
    Bytes digest(CK_MECHANISM_TYPE type, const Bytes& input) {
        CK_MECHANISM mechanism{type, nullptr, 0};
        EXPECT_EQ(p11_->C_DigestInit(session_, &mechanism), CKR_OK);
        return output(p11_->C_Digest, input);
    }
    CK_RV verify(CK_MECHANISM_TYPE type, CK_OBJECT_HANDLE key, Bytes data, Bytes signature) {
        EXPECT_EQ(start(p11_->C_VerifyInit, type, key), CKR_OK);
        return p11_->C_Verify(session_, data.data(), data.size(), signature.data(), signature.size());
    }

    CK_SESSION_HANDLE session_ = 0;
    KeyPair pair_, other_;
};

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST_F(CryptoTest, OutputIsSizedByTwoCallsAndTheOperationEndsWithItsResult) {
    Bytes data(117, 0x42), signature(128);
    CK_ULONG length = 0;
    EXPECT_EQ(p11_->C_Sign(session_, data.data(), data.size(), nullptr, &length), CKR_OPERATION_NOT_INITIALIZED);
    ASSERT_EQ(start(p11_->C_SignInit, CKM_RSA_PKCS, pair_.privateKey), CKR_OK);
    EXPECT_EQ(start(p11_->C_SignInit, CKM_RSA_PKCS, pair_.privateKey), CKR_OPERATION_ACTIVE);
    EXPECT_EQ(p11_->C_Sign(session_, data.data(), data.size(), nullptr, &length), CKR_OK);
    EXPECT_EQ(length, 128u);
    length = 127;
    EXPECT_EQ(p11_->C_Sign(session_, data.data(), data.size(), signature.data(), &length), CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 128u);
    ASSERT_EQ(p11_->C_Sign(session_, data.data(), data.size(), signature.data(), &length), CKR_OK);
    EXPECT_EQ(p11_->C_Sign(session_, data.data(), data.size(), signature.data(), &length),
              CKR_OPERATION_NOT_INITIALIZED);
    EXPECT_EQ(Control::callsOf("C_Sign")[3].input("pData"), data);
    EXPECT_EQ(Control::callsOf("C_SignInit")[0].arg("mechanism"), CKM_RSA_PKCS);

    // One byte over the modulus length less 11 fails and ends the operation.
    data.push_back(0);
    ASSERT_EQ(start(p11_->C_SignInit, CKM_RSA_PKCS, pair_.privateKey), CKR_OK);
    EXPECT_EQ(p11_->C_Sign(session_, data.data(), data.size(), nullptr, &length), CKR_DATA_LEN_RANGE);
    EXPECT_EQ(p11_->C_SignFinal(session_, nullptr, &length), CKR_OPERATION_NOT_INITIALIZED);
}

TEST_F(CryptoTest, CombinedMechanismsSignTheDigestInfoOfTheirDigest) {
    // Digests of "abc" (FIPS 180-4, RFC 1321) behind the DigestInfo headers of RFC 8017.
    const struct {
        CK_MECHANISM_TYPE combined, digest;
        std::string digestInfo;
    } cases[] = {{CKM_SHA1_RSA_PKCS, CKM_SHA_1,
                  "3021300906052b0e03021a05000414a9993e364706816aba3e25717850c26c9cd0d89d"},
                 {CKM_MD5_RSA_PKCS, CKM_MD5, "3020300c06082a864886f70d020505000410900150983cd24fb0d6963f7d28e17f72"}};
    const Bytes data = bytesOf("abc");
    for (const auto& c : cases) {
        Bytes digestInfo;
        for (std::size_t i = 0; i < c.digestInfo.size(); i += 2) {
            digestInfo.push_back(static_cast<CK_BYTE>(std::stoi(c.digestInfo.substr(i, 2), nullptr, 16)));
        }
        EXPECT_EQ(digest(c.digest, data), Bytes(digestInfo.end() - (c.digest == CKM_MD5 ? 16 : 20), digestInfo.end()));
        const Bytes combined = run(p11_->C_SignInit, p11_->C_Sign, c.combined, pair_.privateKey, data);
        EXPECT_EQ(run(p11_->C_SignInit, p11_->C_Sign, CKM_RSA_PKCS, pair_.privateKey, digestInfo), combined);

        ASSERT_EQ(start(p11_->C_SignInit, c.combined, pair_.privateKey), CKR_OK);
        for (CK_BYTE part : data) {
            ASSERT_EQ(p11_->C_SignUpdate(session_, &part, 1), CKR_OK);
        }
        Bytes multiPart(128);
        CK_ULONG length = multiPart.size();
        ASSERT_EQ(p11_->C_SignFinal(session_, multiPart.data(), &length), CKR_OK);
        EXPECT_EQ(multiPart, combined);

        EXPECT_EQ(verify(c.combined, pair_.publicKey, data, combined), CKR_OK);
        EXPECT_EQ(verify(CKM_RSA_PKCS, pair_.publicKey, digestInfo, combined), CKR_OK);
        EXPECT_EQ(verify(c.combined, other_.publicKey, data, combined), CKR_SIGNATURE_INVALID);
        EXPECT_EQ(verify(c.combined, pair_.publicKey, bytesOf("abd"), combined), CKR_SIGNATURE_INVALID);
        EXPECT_EQ(verify(c.combined, pair_.publicKey, data, Bytes(combined.begin() + 1, combined.end())),
                  CKR_SIGNATURE_LEN_RANGE);
    }
    Control::setMechanisms(1, {{CKM_RSA_PKCS, {512, 4096, CKF_ENCRYPT | CKF_DECRYPT}}});
    EXPECT_EQ(start(p11_->C_SignInit, CKM_RSA_PKCS, pair_.privateKey), CKR_MECHANISM_INVALID);
    Control::setMechanisms(1, testtoken::bareRsaMechanisms());
    EXPECT_EQ(start(p11_->C_SignInit, CKM_SHA1_RSA_PKCS, pair_.privateKey), CKR_MECHANISM_INVALID);
    EXPECT_EQ(start(p11_->C_SignInit, CKM_RSA_PKCS, pair_.privateKey), CKR_OK);
}

TEST_F(CryptoTest, OnlyThePairsPrivateKeyDecryptsAndKeysAreCheckedForTheirUse) {
    const Bytes plain = bytesOf("a secret of the test");
    Bytes ciphertext = run(p11_->C_EncryptInit, p11_->C_Encrypt, CKM_RSA_PKCS, pair_.publicKey, plain);
    EXPECT_EQ(ciphertext.size(), 128u);
    EXPECT_EQ(run(p11_->C_DecryptInit, p11_->C_Decrypt, CKM_RSA_PKCS, pair_.privateKey, ciphertext), plain);
    // In parts: a length query leaves the part for the real call, and all comes at the end.
    Bytes first = bytesOf("a secret "), rest = bytesOf("of the test"), out(128);
    CK_ULONG length = 0;
    ASSERT_EQ(start(p11_->C_EncryptInit, CKM_RSA_PKCS, pair_.publicKey), CKR_OK);
    using Call = std::pair<Bytes*, CK_BYTE*>;
    for (auto [part, output] : {Call{&first, nullptr}, Call{&first, out.data()}, Call{&rest, out.data()}}) {
        ASSERT_EQ(p11_->C_EncryptUpdate(session_, part->data(), part->size(), output, &length), CKR_OK);
        EXPECT_EQ(length, 0u);
    }
    length = out.size();
    ASSERT_EQ(p11_->C_EncryptFinal(session_, out.data(), &length), CKR_OK);
    EXPECT_EQ(out, ciphertext);

    ASSERT_EQ(start(p11_->C_DecryptInit, CKM_RSA_PKCS, other_.privateKey), CKR_OK);
    EXPECT_EQ(p11_->C_Decrypt(session_, ciphertext.data(), ciphertext.size(), out.data(), &length),
              CKR_ENCRYPTED_DATA_INVALID);

    CK_BBOOL no = CK_FALSE;
    CK_ATTRIBUTE forbid[] = {{CKA_SIGN, &no, 1}};
    ASSERT_EQ(p11_->C_SetAttributeValue(session_, other_.privateKey, forbid, 1), CKR_OK);
    const struct {
        Init init;
        CK_MECHANISM_TYPE mechanism;
        CK_OBJECT_HANDLE key;
        CK_RV expected;
    } refusals[] = {{p11_->C_SignInit, CKM_RSA_PKCS, pair_.publicKey, CKR_KEY_TYPE_INCONSISTENT},
                    {p11_->C_EncryptInit, CKM_RSA_PKCS, pair_.privateKey, CKR_KEY_TYPE_INCONSISTENT},
                    {p11_->C_SignInit, CKM_RSA_PKCS, other_.privateKey, CKR_KEY_FUNCTION_NOT_PERMITTED},
                    {p11_->C_SignInit, CKM_RSA_PKCS, 999, CKR_KEY_HANDLE_INVALID},
                    {p11_->C_EncryptInit, CKM_SHA1_RSA_PKCS, pair_.publicKey, CKR_MECHANISM_INVALID},
                    {p11_->C_VerifyInit, CKM_RSA_X_509, pair_.publicKey, CKR_MECHANISM_INVALID}};
    for (const auto& refusal : refusals) {
        EXPECT_EQ(start(refusal.init, refusal.mechanism, refusal.key), refusal.expected) << refusal.mechanism;
    }
    ASSERT_EQ(p11_->C_Logout(session_), CKR_OK);
    EXPECT_EQ(start(p11_->C_SignInit, CKM_RSA_PKCS, pair_.privateKey), CKR_USER_NOT_LOGGED_IN);
}

TEST_F(CryptoTest, InjectedFaultsAndClosedSessionsReachTheCryptoCalls) {
    Bytes data = bytesOf("data"), signature(128);
    CK_ULONG length = signature.size();
    ASSERT_EQ(start(p11_->C_SignInit, CKM_RSA_PKCS, pair_.privateKey), CKR_OK);
    // An injected failure ends the operation as the token's own do, except
    // CKR_BUFFER_TOO_SMALL; one injected after the work follows the delivery.
    const auto sign = [&] {
        length = signature.size();
        return p11_->C_Sign(session_, data.data(), data.size(), signature.data(), &length);
    };
    Control::failOnCall("C_Sign", CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(sign(), CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(sign(), CKR_OK);
    ASSERT_EQ(start(p11_->C_SignInit, CKM_RSA_PKCS, pair_.privateKey), CKR_OK);
    Control::failOnCall("C_Sign", CKR_DEVICE_ERROR);
    EXPECT_EQ(sign(), CKR_DEVICE_ERROR);
    EXPECT_EQ(sign(), CKR_OPERATION_NOT_INITIALIZED);
    ASSERT_EQ(start(p11_->C_SignInit, CKM_RSA_PKCS, pair_.privateKey), CKR_OK);
    signature.assign(signature.size(), 0);
    Control::failAfterWork("C_Sign", CKR_FUNCTION_FAILED);
    EXPECT_EQ(sign(), CKR_FUNCTION_FAILED);
    EXPECT_EQ(signature, run(p11_->C_SignInit, p11_->C_Sign, CKM_RSA_PKCS, pair_.privateKey, data));

    CK_MECHANISM sha1{CKM_SHA_1, nullptr, 0};
    ASSERT_EQ(p11_->C_DigestInit(session_, &sha1), CKR_OK);
    Control::setTokenPresent(1, false);
    EXPECT_EQ(p11_->C_DigestUpdate(session_, data.data(), data.size()), CKR_SESSION_HANDLE_INVALID);
}

TEST_F(CryptoTest, RandomDiffersOnEveryCallAndNeedsTheTokensGenerator) {
    Bytes first(16), second(16);
    ASSERT_EQ(p11_->C_GenerateRandom(session_, first.data(), first.size()), CKR_OK);
    ASSERT_EQ(p11_->C_GenerateRandom(session_, second.data(), second.size()), CKR_OK);
    EXPECT_NE(first, second);
    EXPECT_NE(first, Bytes(16));
    EXPECT_EQ(p11_->C_SeedRandom(session_, first.data(), first.size()), CKR_OK);
    EXPECT_EQ(Control::callsOf("C_SeedRandom")[0].input("pSeed"), first);

    testtoken::SlotSettings noGenerator;
    noGenerator.id = 2;
    noGenerator.token.flags = CKF_TOKEN_INITIALIZED;
    Control::addSlot(noGenerator);
    CK_SESSION_HANDLE session = 0;
    ASSERT_EQ(p11_->C_OpenSession(2, CKF_SERIAL_SESSION, nullptr, nullptr, &session), CKR_OK);
    EXPECT_EQ(p11_->C_GenerateRandom(session, first.data(), first.size()), CKR_RANDOM_NO_RNG);
}

TEST(NoFunctionListTest, LoadsButLacksGetFunctionList) {
    void* library = nullptr;
    ASSERT_EQ(zep_load_library(NOFUNCTIONLIST_LIBRARY_PATH, library), 0);
    void* getFunctionList = nullptr;
    EXPECT_NE(zep_get_func_address(library, "C_GetFunctionList", getFunctionList), 0);
    zep_free_library(library);
}

}  // namespace
