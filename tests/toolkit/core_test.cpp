#include <gtest/gtest.h>

#include <sstream>
#include <thread>
#include <vector>

#include "zepbuffer.h"
#include "zepexception.h"
#include "zeplibrarymanager.h"
#include "zepobject.h"
#include "zepplatform.h"
#include "zepstring.h"
#include "zeputility.h"

TEST(ZEPString, CompareIsExactAndKeepsEmbeddedZeros) {
    ZEPString padded("abc   ", 6);
    EXPECT_NE(padded.compare("abc"), 0);
    EXPECT_NE(ZEPString("ABC").compare("abc"), 0);
    EXPECT_EQ(ZEPString("abc").compare(ZEPConstString("abc")), 0);
    ZEPString withZero("a\0b", 3);
    EXPECT_EQ(withZero.size(), 3u);
    EXPECT_NE(withZero.compare("a"), 0);
}

TEST(ZEPString, SubstringStaysInBounds) {
    ZEPString text("PKCS11Manager");
    EXPECT_EQ(ZEPString(text, 6).compare("Manager"), 0);
    EXPECT_EQ(ZEPString(text, 0, 6).compare("PKCS11"), 0);
    EXPECT_EQ(ZEPString(text, 99).size(), 0u);
    EXPECT_EQ(ZEPString(nullptr).size(), 0u);
}

TEST(ZEPBuffer, EmptyBufferHasNoValuePointer) {
    ZEPBuffer empty;
    EXPECT_EQ(empty.getValue(), nullptr);
    EXPECT_EQ(empty.get().data, nullptr);
    EXPECT_EQ(empty.get().len, 0u);
    ZEPBuffer zeros(3, nullptr);
    ASSERT_EQ(zeros.getLength(), 3u);
    EXPECT_EQ(zeros, ZEPBuffer(3, "\0\0\0"));
}

TEST(ZEPBuffer, AppendOfItsOwnBytesIsSafe) {
    ZEPBuffer buffer(4, "abcd");
    buffer.append(buffer);
    buffer.append(2, buffer.getValue() + 1);
    EXPECT_EQ(buffer, ZEPBuffer(10, "abcdabcdbc"));
    buffer.assign(1, "z");
    EXPECT_EQ(buffer, ZEPBuffer(ZEPString("z")));
}

TEST(ZEPBuffer, StreamsAsSpacedHexAndRestoresTheStream) {
    std::ostringstream out;
    out << ZEPBuffer(3, "\x30\x82\x0a") << ' ' << 26;
    EXPECT_EQ(out.str(), "30 82 0a 26");
}

TEST(ZEPUtility, BinaryToHexString) {
    EXPECT_EQ(ZEPUtility::binaryToHexString(ZEPBuffer(3, "\x00\xab\xff")).compare("00abff"), 0);
    EXPECT_EQ(ZEPUtility::binaryToHexString(ZEPBuffer()).size(), 0u);
}

TEST(Exceptions, WhatGivesEverythingOnOneLine) {
    ZEPPKCS11Exception failed("pkcs11client", 42, 577902, "C_GetSlotInfo", CKR_SLOT_ID_INVALID);
    EXPECT_STREQ(failed.what(), "pkcs11client:42: error 577902: C_GetSlotInfo (return value 0x3)");
    EXPECT_TRUE(failed.hasReturnValue());
    EXPECT_EQ(failed.getReturnValue(), CKR_SLOT_ID_INVALID);

    ZEPPKCS11Exception noValue("slotmanager", 7, 577009, "");
    EXPECT_STREQ(noValue.what(), "slotmanager:7: error 577009");
    EXPECT_FALSE(noValue.hasReturnValue());

    ZEPException index("mechanisminfolist", 3, 571003, "");
    EXPECT_EQ(index.getCode(), 571003);
    EXPECT_STREQ(index.getFile(), "mechanisminfolist");
}

TEST(Exceptions, ReturnValueNames) {
    EXPECT_STREQ(zep_return_value_name(CKR_PIN_INCORRECT), "CKR_PIN_INCORRECT");
    EXPECT_STREQ(zep_return_value_name(CKR_OK), "CKR_OK");
    EXPECT_STREQ(zep_return_value_name(0x80000123UL), "CKR_VENDOR_DEFINED");
    EXPECT_STREQ(zep_return_value_name(0x4242), "unknown return value");
}

namespace {
void* firstFactory(void*) { return nullptr; }
void* secondFactory(void* p) { return p; }
}  // namespace

TEST(ZEPLibraryManager, FindsTheLatestEntryAndRemovesByFunction) {
    ZEPLibraryManager::addLibEntry("demo", firstFactory);
    ZEPLibraryManager::addLibEntry("other", firstFactory);
    ZEPLibraryManager::addLibEntry("demo", secondFactory);
    EXPECT_EQ(ZEPLibraryManager::findLibEntry("demo"), secondFactory);
    ZEPLibraryManager::removeLibEntries(secondFactory);
    EXPECT_EQ(ZEPLibraryManager::findLibEntry("demo"), firstFactory);
    ZEPLibraryManager::removeLibEntries(firstFactory);
    EXPECT_EQ(ZEPLibraryManager::findLibEntry("demo"), nullptr);
    EXPECT_EQ(ZEPLibraryManager::findLibEntry("other"), nullptr);
}

TEST(ZEPObject, ConnectInfoAnswersForItsClassAndItsBase) {
    ZEPPKCS11ConnectInfo info("libtoken.so");
    const ZEPObject& object = info;
    EXPECT_TRUE(object.isKindOf("ZEPPKCS11ConnectInfo"));
    EXPECT_TRUE(object.isKindOf("ZEPObject"));
    EXPECT_FALSE(object.isKindOf("PKCS11Manager"));
    EXPECT_STREQ(info.getDLLName(), "libtoken.so");
}

TEST(DynamicLoading, FailuresGiveAnErrorValueAndNoHandle) {
    void* handle = reinterpret_cast<void*>(1);
    EXPECT_NE(zep_load_library("/nonexistent/libnothing.so", handle), 0);
    EXPECT_EQ(handle, nullptr);
    EXPECT_NE(zep_load_library("", handle), 0);
    EXPECT_EQ(handle, nullptr);
}

TEST(AtomicSwap, ReturnsThePreviousValue) {
    int32_t counter = 1;
    EXPECT_EQ(zep_atomic_swap(&counter, 1), 1);
    EXPECT_EQ(zep_atomic_swap(&counter, -1), 2);
    EXPECT_EQ(counter, 1);
}

TEST(AtomicSwapConcurrency, CountsExactlyAcrossThreads) {
    int32_t counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&counter] {
            for (int i = 0; i < 10000; ++i) {
                zep_atomic_swap(&counter, 2);
                zep_atomic_swap(&counter, -1);
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(counter, 40000);
}
