// The slot manager's shared session, token predicates, login and PINs.
#include <thread>

#include "slotmanager.h"
#include "testtokentest.h"

namespace {

class SlotManagerTest : public TestTokenTest {
protected:
    explicit SlotManagerTest(CK_FLAGS tokenFlags = testtoken::TokenSettings().flags) {
        testtoken::SlotSettings slot;
        slot.id = kSlot;
        slot.token.label = "abc";
        slot.token.flags = tokenFlags;
        Control::addSlot(slot);
        manager_ = connect();
    }

    std::unique_ptr<SlotManager> slotManager(int sessionType = 1) {
        return std::unique_ptr<SlotManager>(static_cast<SlotManager*>(manager_->getSlotManager(kSlot, sessionType)));
    }

    static constexpr CK_SLOT_ID kSlot = 4;
    std::unique_ptr<PKCS11Manager> manager_;
};

TEST_F(SlotManagerTest, CopiesShareOneSessionClosedByTheLast) {
    auto original = slotManager();
    EXPECT_EQ(Control::callCount("C_OpenSession"), 0u);
    std::unique_ptr<ZEPSlotManager> copy(original->duplicate());
    original->openSession();
    static_cast<SlotManager&>(*copy).openSession();
    EXPECT_EQ(Control::callCount("C_OpenSession"), 1u);
    EXPECT_EQ(static_cast<SlotManager&>(*copy).getSessionHandle(), original->getSessionHandle());
    original.reset();
    EXPECT_EQ(Control::sessionCount(kSlot), 1u);
    copy.reset();
    EXPECT_EQ(Control::sessionCount(kSlot), 0u);
    EXPECT_EQ(Control::callCount("C_Logout"), 0u);
}

TEST_F(SlotManagerTest, SessionClearedByAClientCallIsOpenedAgain) {
    auto slot = slotManager();
    slot->openSession();
    Control::failOnCall("C_GetSessionInfo", CKR_SESSION_HANDLE_INVALID);
    EXPECT_THROW(slot->isLoginRequired(), ZEPPKCS11Exception);
    EXPECT_EQ(slot->getSessionHandle(), 0u);
    EXPECT_TRUE(slot->isLoginRequired());
    EXPECT_EQ(Control::callCount("C_OpenSession"), 2u);
}

// Session type 1 is final; an open read-only session stays read-only.
TEST_F(SlotManagerTest, SessionTypes) {
    auto slot = slotManager(1);
    slot->setSessionType(0);
    EXPECT_EQ(slot->getSessionType(), 1);
    auto other = slotManager(2);
    other->setSessionType(0);
    EXPECT_EQ(other->getSessionType(), 0);
    other->login(pin("1234"));
    EXPECT_EQ(Control::callsOf("C_OpenSession")[0].arg("flags"), CKF_SERIAL_SESSION);
    other->setSessionType(1);
    EXPECT_FALSE(other->isOpenedForWriting());
    EXPECT_EQ(Control::callCount("C_OpenSession"), 1u);
}

TEST_F(SlotManagerTest, WritingNeedsAReadWriteUserSession) {
    auto slot = slotManager(1);
    EXPECT_FALSE(slot->isOpenedForWriting());
    EXPECT_EQ(Control::callsOf("C_OpenSession")[0].arg("flags"), CKF_SERIAL_SESSION | CKF_RW_SESSION);
    EXPECT_TRUE(slot->isLoginRequired());
    slot->login(pin("1234"));
    EXPECT_FALSE(slot->isLoginRequired());
    EXPECT_TRUE(slot->isOpenedForWriting());
    slot->login(pin("1234"));
    EXPECT_EQ(Control::callCount("C_Login"), 1u);
    slot->logout();
    EXPECT_TRUE(slot->isLoginRequired());
    slot->logout();
    EXPECT_EQ(Control::callCount("C_Logout"), 1u);
}

TEST_F(SlotManagerTest, WrongPinPassesTheClientsException) {
    auto slot = slotManager();
    expectFailure([&] { slot->login(pin("9999")); }, 577904, "C_Login", CKR_PIN_INCORRECT);
}

TEST_F(SlotManagerTest, SecurityOfficerSessionStillRequiresLogin) {
    auto slot = slotManager();
    slot->openSession();
    slot->getClient()->login(slot->getSessionHandle(), CKU_SO, pin("12345678"));
    EXPECT_TRUE(slot->isLoginRequired());
}

TEST_F(SlotManagerTest, PinsAreChangedAndInitialised) {
    auto slot = slotManager();
    slot->login(pin("1234"));
    slot->setPassword(pin("1234"), pin("4321"));
    EXPECT_EQ(Control::token(kSlot).userPin, "4321");
    slot->logout();
    slot->initPassword(pin("12345678"), pin("5555"));
    EXPECT_EQ(Control::token(kSlot).userPin, "5555");
    EXPECT_EQ(slot->getSessionHandle(), 0u);
    auto opened = Control::callsOf("C_OpenSession");
    EXPECT_EQ(opened.back().arg("flags"), 0x7u);
    EXPECT_EQ(Control::callsOf("C_Login").back().arg("userType"), CKU_SO);
    // The session it replaced was closed, not left open.
    EXPECT_EQ(Control::sessionCount(kSlot), 0u);

    // A failure after the security officer's login leaves no such session.
    slot->openSession();
    Control::failOnCall("C_InitPIN", CKR_PIN_LEN_RANGE);
    expectFailure([&] { slot->initPassword(pin("12345678"), pin("5")); }, 577903, "C_InitPIN", CKR_PIN_LEN_RANGE);
    EXPECT_FALSE(Control::loggedInUser(kSlot).has_value());
    EXPECT_EQ(Control::sessionCount(kSlot), 0u);
    EXPECT_EQ(slot->getSessionHandle(), 0u);
}

// The token's label keeps its padding; neither the predicates nor the
// token's initialisation open a session.
TEST_F(SlotManagerTest, TokenPredicatesAndInitialisationOpenNoSession) {
    auto slot = slotManager();
    EXPECT_EQ(slot->getLabel().str(), "abc" + std::string(29, ' '));
    EXPECT_EQ(slot->getSlotId(), kSlot);
    EXPECT_TRUE(slot->isTokenPresent());
    EXPECT_FALSE(slot->isReadOnly());
    EXPECT_TRUE(slot->isKindOf("SlotManager"));
    EXPECT_TRUE(slot->isKindOf("ZEPSlotManager"));
    slot->initToken(pin("12345678"), "fresh");
    EXPECT_EQ(Control::token(kSlot).label, "fresh");
    EXPECT_EQ(Control::callCount("C_OpenSession"), 0u);
}

TEST_F(SlotManagerTest, MissingTokenRefusesTheSession) {
    auto slot = slotManager();
    Control::setTokenPresent(kSlot, false);
    EXPECT_FALSE(slot->isTokenPresent());
    expectFailure([&] { slot->openSession(); }, 577008,
                  "C_OpenSession() indicates the token is not present in the slot");
}

class TokenWithoutLogin : public SlotManagerTest {
protected:
    TokenWithoutLogin() : SlotManagerTest(CKF_TOKEN_INITIALIZED | CKF_USER_PIN_INITIALIZED) {}
};

TEST_F(TokenWithoutLogin, LoginIsNotRequiredAndOpensNothing) {
    auto slot = slotManager();
    EXPECT_FALSE(slot->isLoginRequired());
    slot->login(pin("1234"));
    EXPECT_EQ(Control::callCount("C_OpenSession"), 0u);
    EXPECT_EQ(Control::callCount("C_Login"), 0u);
    // A read-write public session is no writing session.
    EXPECT_FALSE(slot->isOpenedForWriting());
}

class WriteProtectedToken : public SlotManagerTest {
protected:
    WriteProtectedToken() : SlotManagerTest(CKF_TOKEN_INITIALIZED | CKF_LOGIN_REQUIRED | CKF_WRITE_PROTECTED) {}
};

TEST_F(WriteProtectedToken, IsNeverOpenedForWriting) {
    auto slot = slotManager();
    EXPECT_TRUE(slot->isReadOnly());
    EXPECT_FALSE(slot->isOpenedForWriting());
    EXPECT_EQ(Control::callCount("C_OpenSession"), 0u);
}

class ProtectedAuthenticationPath : public SlotManagerTest {
protected:
    ProtectedAuthenticationPath()
        : SlotManagerTest(CKF_TOKEN_INITIALIZED | CKF_LOGIN_REQUIRED | CKF_USER_PIN_INITIALIZED |
                          CKF_PROTECTED_AUTHENTICATION_PATH) {}
};

TEST_F(ProtectedAuthenticationPath, SendsEmptyPins) {
    {
        auto slot = slotManager();
        slot->login(pin("anything"));
        slot->setPassword(pin("old"), pin("new"));
    }
    // With the session closed: the token refuses initialisation while one is open.
    slotManager()->initToken(pin("so"), "label");
    auto login = Control::callsOf("C_Login");
    ASSERT_EQ(login.size(), 1u);
    EXPECT_EQ(login[0].arg("ulPinLen"), 0u);
    EXPECT_EQ(login[0].arg("pPin"), 0u);
    EXPECT_EQ(Control::callsOf("C_SetPIN")[0].arg("ulNewLen"), 0u);
    EXPECT_EQ(Control::callsOf("C_InitToken")[0].arg("ulPinLen"), 0u);
}

class SlotManagerConcurrency : public SlotManagerTest {};

TEST_F(SlotManagerConcurrency, CopiesOnManyThreadsOpenOneSession) {
    auto original = slotManager();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&original] {
            for (int i = 0; i < 50; ++i) {
                std::unique_ptr<ZEPSlotManager> copy(original->duplicate());
                EXPECT_TRUE(copy->isLoginRequired());
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(Control::callCount("C_OpenSession"), 1u);
    EXPECT_EQ(Control::sessionCount(kSlot), 1u);
    original.reset();
    EXPECT_EQ(Control::sessionCount(kSlot), 0u);
}

}  // namespace
