// Base of the tests that drive the module against a fresh SoftHSM2 token.
#ifndef MERVIL_TESTS_SOFTHSMTEST_H
#define MERVIL_TESTS_SOFTHSMTEST_H

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "pkcs11client.h"
#include "pkcs11manager.h"
#include "softhsmtoken.h"

// Runs pkcs11-tool logged in to `token` and gives its output; a failing run
// fails the calling test.
inline std::string runPkcs11Tool(const SoftHSMToken& token, const std::string& arguments) {
    const std::string command = "pkcs11-tool --module " + SoftHSMToken::libraryPath() + " --token-label " +
                                token.label() + " --login --pin " + token.userPin() + " " + arguments + " 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) throw std::runtime_error("cannot run pkcs11-tool");
    std::string output;
    char chunk[4096];
    while (size_t read = std::fread(chunk, 1, sizeof chunk, pipe.get())) output.append(chunk, read);
    EXPECT_EQ(pclose(pipe.release()), 0) << command << "\n" << output;
    return output;
}

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
