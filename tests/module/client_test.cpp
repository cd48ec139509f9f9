// The client's initialisation choices and its wrapper rules, observed at the
// test token.
#include <map>

#include "testtokentest.h"
#include "tracecapture.h"

namespace {

class ClientInitialisation : public TestTokenTest {
protected:
    std::vector<std::string> usingRecords() const { return trace_.texts(ZEPTrace::LEVEL_INFO); }
    TraceCapture trace_;
};

// The answers of C_Initialize and the library's version decide how the
// library is initialised and whether the module locks calls itself; the last
// C_Initialize gets the arguments of the choice. With the module's mutex
// callbacks the token locks every call with them.
TEST_F(ClientInitialisation, AnswersAndVersionChooseTheArgumentsAndTheLocking) {
    const struct {
        std::vector<CK_RV> answers;
        CK_VERSION version;
        bool lockingOn;
        std::vector<std::string> records;
        size_t initializeCalls, finalizeCalls;
        std::map<std::string, CK_ULONG> lastArguments;
    } cases[] = {
        {{}, {2, 40}, false, {"Using C_Initialize(initArgs=OS)"}, 1, 0,
         {{"flags", CKF_OS_LOCKING_OK}, {"CreateMutex", 0}}},
        {{CKR_CANT_LOCK}, {2, 40}, false, {"Using C_Initialize(initArgs=ZEP)"}, 2, 0,
         {{"flags", 0}, {"CreateMutex", 1}, {"UnlockMutex", 1}}},
        {{}, {2, 0}, true, {"Using C_Initialize(initArgs=OS)", "Using C_Initialize(initArgs=NULL)"}, 2, 1,
         {{"pInitArgs", 0}}},
        {{CKR_ARGUMENTS_BAD}, {2, 40}, true, {"Using C_Initialize(initArgs=NULL)"}, 2, 0, {{"pInitArgs", 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        Control::reset();
        trace_.clear();
        Control::scriptInitialize(c.answers);
        testtoken::LibraryInfo info;
        info.cryptokiVersion = c.version;
        Control::setInfo(info);
        addTokenSlot();
        auto manager = connect();
        EXPECT_EQ(manager->getClient()->isLockingOn(), c.lockingOn);
        EXPECT_EQ(usingRecords(), c.records);
        EXPECT_EQ(Control::callCount("C_Finalize"), c.finalizeCalls);
        const auto init = Control::callsOf("C_Initialize");
        ASSERT_EQ(init.size(), c.initializeCalls);
        for (const auto& [name, value] : c.lastArguments) EXPECT_EQ(init.back().arg(name), value) << name;
        EXPECT_EQ(manager->getSlotCount(), 1u);
    }
}

TEST_F(ClientInitialisation, LastRefusalIsThrownAndTheLibraryReleased) {
    Control::scriptInitialize({CKR_CANT_LOCK, CKR_CANT_LOCK, CKR_HOST_MEMORY});
    expectFailure([] { connect(); }, 577901, "C_Initialize", CKR_HOST_MEMORY);
    EXPECT_EQ(Control::callCount("C_Initialize"), 3u);
    EXPECT_EQ(Control::callCount("C_Finalize"), 0u);
    // Nothing was kept: the next manager initialises the library again.
    auto manager = connect();
    EXPECT_TRUE(Control::isInitialized());
}

TEST_F(ClientInitialisation, UsingRecordsNeedTheModulesComponent) {
    ZEPTrace::instance->setComponentMask(0x1);
    auto manager = connect();
    EXPECT_TRUE(usingRecords().empty());
}

TEST_F(ClientInitialisation, MissingInitializeOrFinalizeIsReported) {
    Control::removeFunction("C_Initialize");
    expectFailure([] { connect(); }, 571004, "C_Initialize is not supported by this cryptoki library");
}

class ClientWrappers : public TestTokenTest {
protected:
    ClientWrappers() : slot_(addTokenSlot()), manager_(connect()), client_(*manager_->getClient()) {
        Control::clearCalls();
    }

    CK_SLOT_ID slot_;
    std::unique_ptr<PKCS11Manager> manager_;
    PKCS11Client& client_;
};

TEST_F(ClientWrappers, MissingFunctionIsReportedByName) {
    // The function list is bound once: a client made after the removal sees it.
    manager_.reset();
    Control::removeFunction("C_GetSlotInfo");
    auto manager = connect();
    CK_SLOT_INFO info;
    expectFailure([&] { manager->getClient()->getSlotInfo(slot_, &info); }, 571004,
                  "C_GetSlotInfo is not supported by this cryptoki library");
    EXPECT_EQ(Control::callCount("C_GetSlotInfo"), 0u);
}

TEST_F(ClientWrappers, FailuresCarryTheFamilyCodeAndFunctionName) {
    CK_INFO info;
    CK_SLOT_INFO slotInfo;
    CK_TOKEN_INFO tokenInfo;
    CK_SESSION_HANDLE session = 0;
    Control::failAlways("C_GetInfo", CKR_DEVICE_ERROR);
    expectFailure([&] { client_.getInfo(&info); }, 577901, "C_GetInfo", CKR_DEVICE_ERROR);
    expectFailure([&] { client_.getSlotInfo(99, &slotInfo); }, 577902, "C_GetSlotInfo", CKR_SLOT_ID_INVALID);
    expectFailure([&] { client_.getTokenInfo(99, &tokenInfo); }, 577903, "C_GetTokenInfo", CKR_SLOT_ID_INVALID);
    expectFailure([&] { client_.openSession(99, 0, session); }, 577904, "C_OpenSession", CKR_SLOT_ID_INVALID);
    expectFailure([&] { client_.closeAllSessions(99); }, 577904, "C_CloseAllSessions", CKR_SLOT_ID_INVALID);
}

TEST_F(ClientWrappers, OpenSessionAddsSerialFlag) {
    CK_SESSION_HANDLE readOnly = 0, readWrite = 0;
    client_.openSession(slot_, 0, readOnly);
    client_.openSession(slot_, CKF_RW_SESSION, readWrite);
    auto opened = Control::callsOf("C_OpenSession");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].arg("flags"), CKF_SERIAL_SESSION);
    EXPECT_EQ(opened[1].arg("flags"), CKF_SERIAL_SESSION | CKF_RW_SESSION);
    EXPECT_NE(readOnly, 0u);
    EXPECT_NE(readWrite, readOnly);
    EXPECT_EQ(Control::sessionCount(slot_), 2u);
}

TEST_F(ClientWrappers, OpenSessionMapsAMissingTokenAndClearsTheHandle) {
    Control::setTokenPresent(slot_, false);
    CK_SESSION_HANDLE session = 42;
    expectFailure([&] { client_.openSession(slot_, 0, session); }, 577008,
                  "C_OpenSession() indicates the token is not present in the slot");
    EXPECT_EQ(session, 0u);
    Control::failOnCall("C_OpenSession", CKR_SESSION_EXISTS);
    EXPECT_EQ(client_.openSession(slot_, 0, session), CKR_SESSION_EXISTS);
}

TEST_F(ClientWrappers, SessionIsClearedOnlyWhenItIsGone) {
    CK_SESSION_HANDLE session = 0;
    client_.openSession(slot_, CKF_RW_SESSION, session);
    const CK_SESSION_HANDLE opened = session;
    for (CK_RV keeps : {CKR_PIN_INCORRECT, CKR_DEVICE_ERROR, CKR_FUNCTION_FAILED}) {
        Control::failOnCall("C_Login", keeps);
        expectFailure([&] { client_.login(session, CKU_USER, pin("1234")); }, 577904, "C_Login", keeps);
        EXPECT_EQ(session, opened);
    }
    for (CK_RV gone : {CKR_DEVICE_REMOVED, CKR_SESSION_CLOSED, CKR_SESSION_HANDLE_INVALID}) {
        session = opened;
        Control::failOnCall("C_InitPIN", gone);
        expectFailure([&] { client_.initPin(session, pin("5678")); }, 577903, "C_InitPIN", gone);
        EXPECT_EQ(session, 0u);
    }
}

TEST_F(ClientWrappers, AcceptedLoginStatesAreReturned) {
    CK_SESSION_HANDLE session = 0;
    client_.openSession(slot_, 0, session);
    EXPECT_EQ(client_.logout(session), CKR_USER_NOT_LOGGED_IN);
    EXPECT_EQ(client_.login(session, CKU_USER, pin("1234")), CKR_OK);
    EXPECT_EQ(client_.login(session, CKU_USER, pin("1234")), CKR_USER_ALREADY_LOGGED_IN);
    CK_SESSION_INFO info;
    client_.getSessionInfo(session, &info);
    EXPECT_EQ(info.state, CKS_RO_USER_FUNCTIONS);
}

TEST_F(ClientWrappers, CloseSessionAlwaysClearsTheHandle) {
    CK_SESSION_HANDLE session = 0;
    client_.openSession(slot_, 0, session);
    CK_SESSION_HANDLE copy = session;
    client_.closeSession(session);
    EXPECT_EQ(session, 0u);
    expectFailure([&] { client_.closeSession(copy); }, 577904, "C_CloseSession", CKR_SESSION_HANDLE_INVALID);
    EXPECT_EQ(copy, 0u);
}

TEST_F(ClientWrappers, ListsAreSizedByAFirstCallAndAppended) {
    for (CK_SLOT_ID id = 10; id < 50; ++id) addTokenSlot(id);
    std::vector<CK_SLOT_ID> slots{777};
    client_.getSlotList(slots, false);
    ASSERT_EQ(slots.size(), 42u);
    EXPECT_EQ(slots[0], 777u);
    EXPECT_EQ(slots[1], slot_);
    EXPECT_EQ(slots[41], 49u);
    auto calls = Control::callsOf("C_GetSlotList");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].arg("pSlotList"), 0u);
    EXPECT_EQ(calls[1].arg("pulCount.in"), 41u);
}

class EmptyLibrary : public TestTokenTest {};

TEST_F(EmptyLibrary, ListsAppendNothing) {
    auto manager = connect();
    std::vector<CK_SLOT_ID> slots;
    manager->getClient()->getSlotList(slots, true);
    EXPECT_TRUE(slots.empty());
    auto calls = Control::callsOf("C_GetSlotList");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].arg("tokenPresent"), CK_TRUE);
    // The second call gets an array of its own even for no slots.
    EXPECT_EQ(calls[1].arg("pSlotList"), 1u);
    EXPECT_EQ(calls[1].arg("pulCount.in"), 0u);
}

TEST_F(ClientWrappers, FailedSecondListCallAppendsWhatItDeliveredThenThrows) {
    Control::setMechanisms(slot_, {{CKM_RSA_PKCS, {}}, {CKM_SHA_1, {}}});
    Control::failAfterWork("C_GetMechanismList", CKR_DEVICE_ERROR, 2);
    std::vector<CK_MECHANISM_TYPE> mechanisms{5};
    expectFailure([&] { client_.getMechanismList(slot_, mechanisms); }, 577903, "C_GetMechanismList",
                  CKR_DEVICE_ERROR);
    EXPECT_EQ(mechanisms, (std::vector<CK_MECHANISM_TYPE>{5, CKM_RSA_PKCS, CKM_SHA_1}));
    // A failed first call appends nothing.
    Control::failOnCall("C_GetMechanismList", CKR_DEVICE_ERROR);
    expectFailure([&] { client_.getMechanismList(slot_, mechanisms); }, 577903, "C_GetMechanismList",
                  CKR_DEVICE_ERROR);
    EXPECT_EQ(mechanisms.size(), 3u);
}

TEST_F(ClientWrappers, InitTokenPadsAShortLabel) {
    // The token reads all 32 label characters; the sanitizer run proves
    // none of them lies past the label.
    client_.initToken(slot_, pin("12345678"), "abc");
    EXPECT_EQ(Control::token(slot_).label, "abc");
    expectFailure([&] { client_.initToken(slot_, pin("wrong"), "abc"); }, 577903, "C_InitToken",
                  CKR_PIN_INCORRECT);
}

TEST_F(ClientWrappers, OperationStateRoundTrips) {
    CK_SESSION_HANDLE session = 0;
    client_.openSession(slot_, 0, session);
    ZEPBuffer state;
    client_.getOperationState(session, state);
    EXPECT_EQ(Control::callCount("C_GetOperationState"), 2u);
    client_.setOperationState(session, state);
    Control::failOnCall("C_GetOperationState", CKR_SESSION_CLOSED);
    expectFailure([&] { client_.getOperationState(session, state); }, 577904, "C_GetOperationState",
                  CKR_SESSION_CLOSED);
    EXPECT_EQ(session, 0u);
}

TEST_F(ClientWrappers, WrappersOfAFinalisedClientReportItUnbound) {
    client_.disconnect();
    CK_INFO info;
    expectFailure([&] { client_.getInfo(&info); }, 577003, "");
    // The library was released by hand: reload it so the manager can finalise.
    client_.connect(TESTTOKEN_LIBRARY_PATH);
}

}  // namespace
