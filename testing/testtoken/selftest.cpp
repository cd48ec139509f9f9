// Smoke test of the test token: the library loaded by path shares its state with the
// control interface, and scripting, injection and the call log work.
#include "testtoken/testtokencontrol.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

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
        library_ = dlopen(TESTTOKEN_LIBRARY_PATH, RTLD_NOW);
        ASSERT_NE(library_, nullptr);
        auto getFunctionList = reinterpret_cast<CK_C_GetFunctionList>(dlsym(library_, "C_GetFunctionList"));
        ASSERT_NE(getFunctionList, nullptr);
        ASSERT_EQ(getFunctionList(&p11_), CKR_OK);
    }
    void TearDown() override { dlclose(library_); }

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

TEST(NoFunctionListTest, LoadsButLacksGetFunctionList) {
    void* library = dlopen(NOFUNCTIONLIST_LIBRARY_PATH, RTLD_NOW);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(dlsym(library, "C_GetFunctionList"), nullptr);
    dlclose(library);
}

}  // namespace
