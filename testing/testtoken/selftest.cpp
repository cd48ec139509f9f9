// What the module tests take for granted of the test token and would not notice
// breaking: the fault plan's call counting, timing and session loss (a fault landing
// on another call, not ending the operation or leaving a lost session open passes
// unseen), the refusal of null data pointers and the list protocol for a buffer
// that is too short.
#include "testtoken/testtokencontrol.h"
#include "zepplatform.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using testtoken::Bytes;
using testtoken::Control;

class RawTestToken : public ::testing::Test {
protected:
    void SetUp() override {
        Control::reset();
        Control::addSlot({});
        Control::setMechanisms(1, testtoken::rsaMechanisms());
        ASSERT_EQ(zep_load_library(TESTTOKEN_LIBRARY_PATH, library_), 0);
        void* getFunctionList = nullptr;
        ASSERT_EQ(zep_get_func_address(library_, "C_GetFunctionList", getFunctionList), 0);
        ASSERT_EQ(reinterpret_cast<CK_C_GetFunctionList>(getFunctionList)(&p11_), CKR_OK);
        ASSERT_EQ(p11_->C_Initialize(nullptr), CKR_OK);
    }
    void TearDown() override {
        p11_->C_Finalize(nullptr);
        zep_free_library(library_);
    }

    void* library_ = nullptr;
    CK_FUNCTION_LIST* p11_ = nullptr;
};

TEST_F(RawTestToken, FaultsFallOnTheirCallNumberAndTheEarlierPlannedWins) {
    CK_INFO info{};
    const auto getInfo = [&] { return p11_->C_GetInfo(&info); };
    Control::failOnCall("C_GetInfo", CKR_DEVICE_ERROR, 2);
    Control::failOnCall("C_GetInfo", CKR_GENERAL_ERROR, 2);
    Control::failOnCall("C_GetInfo", CKR_HOST_MEMORY, 3);
    EXPECT_EQ(getInfo(), CKR_OK);
    EXPECT_EQ(getInfo(), CKR_DEVICE_ERROR);
    EXPECT_EQ(getInfo(), CKR_HOST_MEMORY);
    EXPECT_EQ(getInfo(), CKR_OK);
    Control::failAlways("C_GetInfo", CKR_DEVICE_REMOVED);
    EXPECT_EQ(getInfo(), CKR_DEVICE_REMOVED);
    EXPECT_EQ(getInfo(), CKR_DEVICE_REMOVED);
    EXPECT_THROW(Control::failOnCall("C_GetInfos", CKR_DEVICE_ERROR), std::invalid_argument);

    Control::removeFunction("C_GetSlotInfo");
    CK_FUNCTION_LIST* reduced = nullptr;
    ASSERT_EQ(p11_->C_GetFunctionList(&reduced), CKR_OK);
    EXPECT_EQ(reduced->C_GetSlotInfo, nullptr);
    EXPECT_NE(reduced->C_GetTokenInfo, nullptr);
}

TEST_F(RawTestToken, ShortListBufferGetsTheLengthAndNothingElse) {
    Control::addSlot({.id = 7, .tokenPresent = false, .token = {}});
    CK_SLOT_ID slots[2] = {};
    CK_ULONG count = 1;
    EXPECT_EQ(p11_->C_GetSlotList(CK_FALSE, slots, &count), CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(slots[0], 0u);
    ASSERT_EQ(p11_->C_GetSlotList(CK_FALSE, slots, &count), CKR_OK);
    EXPECT_EQ(slots[1], 7u);
}

TEST_F(RawTestToken, InjectedFailuresEndTheOperationAndAfterWorkDelivers) {
    CK_SESSION_HANDLE session = 0;
    ASSERT_EQ(p11_->C_OpenSession(1, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session), CKR_OK);
    CK_UTF8CHAR pin[] = "1234";
    ASSERT_EQ(p11_->C_Login(session, CKU_USER, pin, 4), CKR_OK);
    CK_ULONG bits = 1024;
    CK_ATTRIBUTE publicTemplate[] = {{CKA_MODULUS_BITS, &bits, sizeof bits}};
    CK_MECHANISM generation{CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0}, rsa{CKM_RSA_PKCS, nullptr, 0};
    CK_OBJECT_HANDLE publicKey = 0, privateKey = 0;
    ASSERT_EQ(p11_->C_GenerateKeyPair(session, &generation, publicTemplate, 1, nullptr, 0, &publicKey, &privateKey),
              CKR_OK);

    Bytes data{'d', 'a', 't', 'a'}, signature(128);
    CK_ULONG length = 0;
    const auto sign = [&] {
        length = signature.size();
        return p11_->C_Sign(session, data.data(), data.size(), signature.data(), &length);
    };
    ASSERT_EQ(p11_->C_SignInit(session, &rsa, privateKey), CKR_OK);
    Control::failOnCall("C_Sign", CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(sign(), CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(sign(), CKR_OK);
    const Bytes expected = signature;
    ASSERT_EQ(p11_->C_SignInit(session, &rsa, privateKey), CKR_OK);
    Control::failOnCall("C_Sign", CKR_DEVICE_ERROR);
    EXPECT_EQ(sign(), CKR_DEVICE_ERROR);
    EXPECT_EQ(sign(), CKR_OPERATION_NOT_INITIALIZED);

    ASSERT_EQ(p11_->C_SignInit(session, &rsa, privateKey), CKR_OK);
    signature.assign(signature.size(), 0);
    Control::failAfterWork("C_Sign", CKR_FUNCTION_FAILED);
    EXPECT_EQ(sign(), CKR_FUNCTION_FAILED);
    EXPECT_EQ(signature, expected);
    EXPECT_EQ(sign(), CKR_OPERATION_NOT_INITIALIZED);

    // No data is no null pointer; a failure that loses the session closes it.
    ASSERT_EQ(p11_->C_SignInit(session, &rsa, privateKey), CKR_OK);
    EXPECT_EQ(p11_->C_SignUpdate(session, nullptr, 0), CKR_ARGUMENTS_BAD);
    Control::failOnCall("C_SignInit", CKR_DEVICE_REMOVED, 1, testtoken::SessionFate::lost);
    EXPECT_EQ(p11_->C_SignInit(session, &rsa, privateKey), CKR_DEVICE_REMOVED);
    CK_SESSION_INFO info{};
    EXPECT_EQ(p11_->C_GetSessionInfo(session, &info), CKR_SESSION_HANDLE_INVALID);
}

}  // namespace
