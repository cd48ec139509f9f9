// Loading the module as the toolkit's hosts do: the module library is opened
// at run time, never linked.
#include <gtest/gtest.h>

#include <latch>
#include <memory>
#include <thread>
#include <vector>

#include "pkcs11diagnostics.h"
#ifndef _WIN32
#include "softhsmtoken.h"
#endif
#include "zepcmsglobal.h"
#include "zepexception.h"
#include "zeplibrarymanager.h"
#include "zepobject.h"
#include "zepplatform.h"
#include "zeppkcs11manager.h"

namespace {

class LoadedModule {
public:
    LoadedModule() { EXPECT_EQ(zep_load_library(MERVIL7_LIBRARY, handle_), 0); }
    ~LoadedModule() { zep_free_library(handle_); }

    template <typename Function>
    Function exported(const char* name) {
        void* address = nullptr;
        EXPECT_EQ(zep_get_func_address(handle_, name, address), 0) << name;
        return reinterpret_cast<Function>(address);
    }

private:
    void* handle_ = nullptr;
};

// Calls the registered factory and expects it to throw `code` with `message`.
void expectFactoryFailure(void* argument, long code, const std::string& message) {
    ZEPLibraryFunction factory = ZEPLibraryManager::findLibEntry("mervil7");
    ASSERT_NE(factory, nullptr);
    try {
        delete static_cast<ZEPPKCS11Manager*>(factory(argument));
        FAIL() << "the factory accepted its argument";
    } catch (const ZEPPKCS11Exception& e) {
        EXPECT_EQ(e.getCode(), code);
        EXPECT_EQ(e.getMessage().str(), message);
    }
}

// Threads load and free the module all at once, each many times. While any of
// them holds it, the module is loaded once and registered, its exports resolve
// and its factory's exceptions reach the caller; after the last one let go, the
// module is gone with its registration.
TEST(ModuleLoading, RegistersWhileAnyOfSeveralThreadsHoldsIt) {
    const int globals = ZEPCMSGlobal::liveCount();
    EXPECT_EQ(ZEPLibraryManager::findLibEntry("mervil7"), nullptr);
    constexpr int threadCount = 8;
    std::latch start(threadCount);
    {
        std::vector<std::jthread> threads;
        for (int thread = 0; thread < threadCount; ++thread)
            threads.emplace_back([&] {
                start.arrive_and_wait();
                for (int round = 0; round < 20; ++round) {
                    LoadedModule module;
                    EXPECT_EQ(ZEPCMSGlobal::liveCount(), globals + 1);
                    EXPECT_NE(module.exported<p11_getSlotAndTokenInfo_t>("p11_getSlotAndTokenInfo"), nullptr);
                    expectFactoryFailure(nullptr, 571002, "args cannot be NULL");
                }
            });
    }
    EXPECT_EQ(ZEPLibraryManager::findLibEntry("mervil7"), nullptr);
    EXPECT_EQ(ZEPCMSGlobal::liveCount(), globals);
}

TEST(ModuleLoading, FactoryRejectsBadArguments) {
    LoadedModule module;
    expectFactoryFailure(nullptr, 571002, "args cannot be NULL");
    ZEPObject notConnectInfo;
    expectFactoryFailure(&notConnectInfo, 571002, "args is invalid");
}

TEST(ModuleLoading, FactoryReportsLibrariesThatCannotBeUsed) {
    LoadedModule module;
    ZEPPKCS11ConnectInfo missing("/nonexistent/libcryptoki.so");
    expectFactoryFailure(&missing, 577003, "zep_load_library(\"/nonexistent/libcryptoki.so\")");
    // A shared library, but no Cryptoki library.
    ZEPPKCS11ConnectInfo notCryptoki(MERVIL2_LIBRARY);
    expectFactoryFailure(&notCryptoki, 577003, "zep_get_func_address(\"C_GetFunctionList\")");
}

// SoftHSM2 is not on the Windows machines.
#ifndef _WIN32
TEST(ModuleLoading, FactoryGivesAManagerOfTheNamedLibrary) {
    SoftHSMToken token;
    LoadedModule module;
    ZEPPKCS11ConnectInfo info(SoftHSMToken::libraryPath().c_str());
    ZEPLibraryFunction factory = ZEPLibraryManager::findLibEntry("mervil7");
    std::unique_ptr<ZEPPKCS11Manager> manager(static_cast<ZEPPKCS11Manager*>(factory(&info)));
    EXPECT_TRUE(manager->isKindOf("PKCS11Manager"));
    EXPECT_TRUE(manager->isKindOf("ZEPPKCS11Manager"));
    EXPECT_FALSE(manager->isKindOf("SlotManager"));
    EXPECT_EQ(manager->getDllName().str(), SoftHSMToken::libraryPath());
    EXPECT_EQ(manager->getSlotCount(), 2u);

    // The diagnostics hosts look up by name.
    auto slotAndTokenInfo = module.exported<p11_getSlotAndTokenInfo_t>("p11_getSlotAndTokenInfo");
    std::vector<CK_SLOT_ID> slots;
    manager->getSlotIds(slots);
    CK_SLOT_INFO slotInfo;
    CK_TOKEN_INFO tokenInfo;
    int labelled = 0;
    for (CK_SLOT_ID slot : slots) {
        EXPECT_EQ(slotAndTokenInfo(manager.get(), slot, &slotInfo, &tokenInfo, nullptr), 0);
        EXPECT_TRUE(slotInfo.flags & CKF_TOKEN_PRESENT);
        labelled += std::string(reinterpret_cast<char*>(tokenInfo.label), 32).rfind(token.label() + " ", 0) == 0;
    }
    EXPECT_EQ(labelled, 1);
    p11_status status;
    EXPECT_EQ(slotAndTokenInfo(nullptr, slots[0], &slotInfo, &tokenInfo, &status), 1);
    EXPECT_EQ(status.code, 571002);
}
#endif

}  // namespace
