// Base of the tests that drive the module against a fresh SoftHSM2 token.
#ifndef MERVIL_TESTS_SOFTHSMTEST_H
#define MERVIL_TESTS_SOFTHSMTEST_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pkcs11client.h"
#include "pkcs11manager.h"
#include "softhsmtoken.h"

class SoftHSMTest : public ::testing::Test {
protected:
    SoftHSMTest()
        : manager_(std::make_unique<PKCS11Manager>(ZEPPKCS11ConnectInfo(SoftHSMToken::libraryPath().c_str()))),
          client_(*manager_->getClient()) {}

    // The slot of the fixture's token, found by its label.
    CK_SLOT_ID tokenSlot() {
        std::vector<CK_SLOT_ID> slots;
        client_.getSlotList(slots, true);
        for (CK_SLOT_ID slot : slots) {
            CK_TOKEN_INFO info = {};
            client_.getTokenInfo(slot, &info);
            std::string label(reinterpret_cast<const char*>(info.label), sizeof info.label);
            if (label.substr(0, label.find_last_not_of(' ') + 1) == token_.label()) return slot;
        }
        ADD_FAILURE() << "no token labelled " << token_.label();
        return 0;
    }

    static ZEPBuffer pin(const std::string& text) { return ZEPBuffer(text.size(), text.data()); }

    SoftHSMToken token_;
    std::unique_ptr<PKCS11Manager> manager_;
    PKCS11Client& client_;
};

#endif
