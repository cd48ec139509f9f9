// The library table: one client per library name, loaded by the first
// manager and unloaded by the last.
#include <thread>

#include "testtokentest.h"

namespace {

class LibraryTableTest : public TestTokenTest {};

TEST_F(LibraryTableTest, ManagersOfOneNameShareOneClient) {
    auto first = connect();
    auto second = connect();
    EXPECT_EQ(first->getClient(), second->getClient());
    EXPECT_EQ(Control::callCount("C_Initialize"), 1u);

    first.reset();
    EXPECT_EQ(Control::callCount("C_Finalize"), 0u);
    EXPECT_TRUE(Control::isInitialized());
    second.reset();
    EXPECT_EQ(Control::callCount("C_Finalize"), 1u);
    EXPECT_FALSE(Control::isInitialized());
    // The released library is loaded afresh by the next manager.
    auto again = connect();
    EXPECT_EQ(Control::callCount("C_Initialize"), 2u);
}

TEST_F(LibraryTableTest, AnotherSpellingIsAnotherLibrary) {
    auto first = connect();
    std::string otherSpelling = std::string(TESTTOKEN_LIBRARY_PATH);
    otherSpelling.insert(otherSpelling.rfind('/'), "/.");
    // The same file, so the token is initialised already and refuses.
    expectFailure([&] { connect(otherSpelling.c_str()); }, 577901, "C_Initialize",
                  CKR_CRYPTOKI_ALREADY_INITIALIZED);
    EXPECT_TRUE(Control::isInitialized());
    // A name differing only in case names no library here: its load fails
    // and the first entry is untouched.
    std::string otherCase = TESTTOKEN_LIBRARY_PATH;
    otherCase.back() = 'O';
    try {
        connect(otherCase.c_str());
        ADD_FAILURE() << "loaded " << otherCase;
    } catch (const ZEPPKCS11Exception& e) {
        EXPECT_EQ(e.getCode(), 577003);
        EXPECT_EQ(e.getMessage().str(), "zep_load_library(\"" + otherCase + "\")");
    }
    EXPECT_EQ(first->getSlotCount(), 0u);
}

TEST_F(LibraryTableTest, DuplicateKeepsTheLibraryForTheCopy) {
    addTokenSlot(3);
    auto original = connect();
    std::unique_ptr<ZEPPKCS11Manager> copy(original->duplicate());
    original.reset();
    EXPECT_EQ(Control::callCount("C_Finalize"), 0u);
    std::vector<CK_SLOT_ID> slots;
    copy->getSlotIds(slots);
    EXPECT_EQ(slots, std::vector<CK_SLOT_ID>{3});
    copy.reset();
    EXPECT_EQ(Control::callCount("C_Finalize"), 1u);
}

TEST_F(LibraryTableTest, FailingOrMissingFinalizeStillReleasesTheLibrary) {
    // The library finalised but said otherwise: released, and loaded afresh.
    auto manager = connect();
    Control::failAfterWork("C_Finalize", CKR_DEVICE_ERROR);
    EXPECT_NO_THROW(manager.reset());
    EXPECT_FALSE(Control::isInitialized());
    manager = connect();
    EXPECT_EQ(Control::callCount("C_Initialize"), 2u);
    manager.reset();

    // Without C_Finalize the library stays initialised, but the entry is gone:
    // the next manager loads it again, which it refuses.
    Control::removeFunction("C_Finalize");
    manager = connect();
    EXPECT_NO_THROW(manager.reset());
    expectFailure([] { connect(); }, 577901, "C_Initialize", CKR_CRYPTOKI_ALREADY_INITIALIZED);
}

TEST_F(LibraryTableTest, ReportsLibraryInformation) {
    testtoken::SlotSettings withoutToken;
    withoutToken.id = 7;
    withoutToken.tokenPresent = false;
    Control::addSlot(withoutToken);
    addTokenSlot(2);
    // Version numbers are written without leading zeros.
    const struct {
        CK_VERSION cryptoki, library;
        const char* version;
    } cases[] = {{{2, 1}, {3, 0}, "Cryptoki version: 2.1  Library version: 3.0"},
                 {{2, 20}, {10, 1}, "Cryptoki version: 2.20  Library version: 10.1"}};
    for (const auto& c : cases) {
        testtoken::LibraryInfo info;
        info.cryptokiVersion = c.cryptoki;
        info.libraryVersion = c.library;
        info.description = "Soft Token";
        Control::setInfo(info);
        auto manager = connect();
        EXPECT_EQ(manager->getVersion().str(), c.version);
        EXPECT_EQ(manager->getLibraryDescription().str(), "Soft Token" + std::string(22, ' '));
        EXPECT_EQ(manager->getManufacturer().str(), "Mervil Test" + std::string(21, ' '));
        EXPECT_EQ(manager->getSlotCount(), 2u);
        EXPECT_EQ(manager->getDllName().str(), TESTTOKEN_LIBRARY_PATH);
        EXPECT_EQ(manager->getInstanceName().str(), "PKCS11Manager");
    }
}

}  // namespace

namespace {

class LibraryTableConcurrency : public TestTokenTest {};

TEST_F(LibraryTableConcurrency, FirstAttachAndLastReleaseRaceSafely) {
    // No manager outlives the threads' own: libraries are loaded and
    // unloaded again and again while other threads attach.
    addTokenSlot();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 50; ++i) EXPECT_EQ(connect()->getSlotCount(), 1u);
        });
    for (std::thread& t : threads) t.join();
    EXPECT_FALSE(Control::isInitialized());
    EXPECT_GE(Control::callCount("C_Initialize"), 1u);
    EXPECT_EQ(Control::callCount("C_Initialize"), Control::callCount("C_Finalize"));
}

TEST_F(LibraryTableConcurrency, ThreadsAttachAndReleaseConsistently) {
    addTokenSlot();
    auto keeper = connect();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 50; ++i) {
                auto manager = connect();
                std::unique_ptr<ZEPPKCS11Manager> copy(manager->duplicate());
                EXPECT_EQ(copy->getSlotCount(), 1u);
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(Control::callCount("C_Initialize"), 1u);
    keeper.reset();
    EXPECT_EQ(Control::callCount("C_Finalize"), 1u);
}

}  // namespace
