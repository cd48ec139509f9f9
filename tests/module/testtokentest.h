// Base of the tests that drive the module against the in-memory test token.
#ifndef MERVIL_TESTS_TESTTOKENTEST_H
#define MERVIL_TESTS_TESTTOKENTEST_H

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "pkcs11client.h"
#include "pkcs11manager.h"
#include "testtoken/testtokencontrol.h"

class TestTokenTest : public ::testing::Test {
protected:
    using Control = testtoken::Control;

    TestTokenTest() { Control::reset(); }
    ~TestTokenTest() override { Control::reset(); }

    static std::unique_ptr<PKCS11Manager> connect(const char* libraryName = TESTTOKEN_LIBRARY_PATH) {
        return std::make_unique<PKCS11Manager>(ZEPPKCS11ConnectInfo(libraryName));
    }

    // Adds a slot holding a token that needs a login.
    static CK_SLOT_ID addTokenSlot(CK_SLOT_ID id = 1) {
        testtoken::SlotSettings slot;
        slot.id = id;
        Control::addSlot(slot);
        return id;
    }

    static ZEPBuffer pin(const std::string& text) { return ZEPBuffer(text.size(), text.data()); }
};

// Runs `operation`, expecting a ZEPPKCS11Exception with this code and message,
// and with `returnValue` attached when it is given.
inline void expectFailure(const std::function<void()>& operation, long code, const std::string& message,
                          std::optional<CK_RV> returnValue = std::nullopt) {
    try {
        operation();
        ADD_FAILURE() << "no exception; expected " << code << " " << message;
    } catch (const ZEPPKCS11Exception& e) {
        EXPECT_EQ(e.getCode(), code) << e.what();
        EXPECT_EQ(e.getMessage().str(), message);
        EXPECT_EQ(e.hasReturnValue(), returnValue.has_value()) << e.what();
        if (returnValue) {
            EXPECT_EQ(e.getReturnValue(), *returnValue) << e.what();
        }
    }
}

#endif
