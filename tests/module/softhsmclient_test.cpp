// The manager and client against a real token: a fresh SoftHSM2 token per
// test.
#include "softhsmtest.h"

namespace {

class SoftHSMClient : public SoftHSMTest {
protected:
    ~SoftHSMClient() override {
        if (session_) client_.closeSession(session_);
    }

    void openReadWrite() { client_.openSession(tokenSlot(), CKF_RW_SESSION, session_); }

    CK_STATE sessionState() {
        CK_SESSION_INFO info = {};
        client_.getSessionInfo(session_, &info);
        return info.state;
    }

    CK_SESSION_HANDLE session_ = 0;
};

TEST_F(SoftHSMClient, ReportsLibraryInformation) {
    EXPECT_EQ(manager_->getVersion().str(), "Cryptoki version: 2.40  Library version: 2.6");
    ZEPString description = manager_->getLibraryDescription();
    EXPECT_EQ(description.size(), 32u);
    EXPECT_EQ(description.str().substr(0, 18), "Implementation of ");
    EXPECT_EQ(manager_->getManufacturer().size(), 32u);
    EXPECT_EQ(manager_->getDllName().str(), SoftHSMToken::libraryPath());
    EXPECT_FALSE(client_.isLockingOn());
}

TEST_F(SoftHSMClient, CountsSlotsWithAndWithoutToken) {
    std::vector<CK_SLOT_ID> withToken;
    client_.getSlotList(withToken, true);
    // The initialised token and the spare empty one SoftHSM2 always offers.
    EXPECT_EQ(manager_->getSlotCount(), 2u);
    EXPECT_EQ(withToken.size(), 2u);
    tokenSlot();
}

TEST_F(SoftHSMClient, LogsInAndOut) {
    openReadWrite();
    EXPECT_EQ(sessionState(), CKS_RW_PUBLIC_SESSION);
    EXPECT_EQ(client_.login(session_, CKU_USER, pin(token_.userPin())), CKR_OK);
    EXPECT_EQ(sessionState(), CKS_RW_USER_FUNCTIONS);
    EXPECT_EQ(client_.login(session_, CKU_USER, pin(token_.userPin())), CKR_USER_ALREADY_LOGGED_IN);
    EXPECT_EQ(client_.logout(session_), CKR_OK);
    EXPECT_EQ(sessionState(), CKS_RW_PUBLIC_SESSION);
}

TEST_F(SoftHSMClient, WrongPinThrowsWithTheReturnValue) {
    openReadWrite();
    try {
        client_.login(session_, CKU_USER, pin("00000000"));
        FAIL() << "login with a wrong PIN succeeded";
    } catch (const ZEPPKCS11Exception& e) {
        EXPECT_EQ(e.getCode(), 577904);
        EXPECT_EQ(e.getMessage().str(), "C_Login");
        EXPECT_EQ(e.getReturnValue(), CKR_PIN_INCORRECT);
    }
    EXPECT_NE(session_, 0u);
}

TEST_F(SoftHSMClient, ChangesThePinAndLogsInWithTheNewOne) {
    openReadWrite();
    client_.login(session_, CKU_USER, pin(token_.userPin()));
    client_.setPin(session_, pin(token_.userPin()), pin("24681357"));
    client_.logout(session_);
    EXPECT_THROW(client_.login(session_, CKU_USER, pin(token_.userPin())), ZEPPKCS11Exception);
    EXPECT_EQ(client_.login(session_, CKU_USER, pin("24681357")), CKR_OK);
}

TEST_F(SoftHSMClient, ReinitialisesTheTokenAndSetsANewUserPin) {
    CK_SLOT_ID slot = tokenSlot();
    client_.initToken(slot, pin(token_.soPin()), "renamed");
    CK_TOKEN_INFO info = {};
    client_.getTokenInfo(slot, &info);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(info.label), 32), "renamed" + std::string(25, ' '));

    client_.openSession(slot, CKF_RW_SESSION, session_);
    client_.login(session_, CKU_SO, pin(token_.soPin()));
    client_.initPin(session_, pin("11223344"));
    client_.logout(session_);
    EXPECT_EQ(client_.login(session_, CKU_USER, pin("11223344")), CKR_OK);
}

TEST_F(SoftHSMClient, ClosedSessionHandleIsClearedAndReportedInvalid) {
    openReadWrite();
    CK_SESSION_HANDLE stale = session_;
    client_.closeSession(session_);
    EXPECT_EQ(session_, 0u);
    try {
        CK_SESSION_INFO info = {};
        client_.getSessionInfo(stale, &info);
        FAIL() << "a closed session answered";
    } catch (const ZEPPKCS11Exception& e) {
        EXPECT_EQ(e.getReturnValue(), CKR_SESSION_HANDLE_INVALID);
        EXPECT_EQ(stale, 0u);
    }
}

}  // namespace
