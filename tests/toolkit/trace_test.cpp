#include <gtest/gtest.h>

#include <stdexcept>

#include "tracecapture.h"
#include "zeptrace.h"

namespace {
void tracedOperation(bool fail) {
    ZEP_TRACE(0x200, "Widget::operate()");
    if (fail) throw std::runtime_error("failed");
}
}  // namespace

TEST(TraceBracket, WritesEntryWithFileAndExitWithoutFile) {
    TraceCapture capture;
    tracedOperation(false);
    auto records = capture.records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].level, ZEPTrace::LEVEL_ENTRY);
    EXPECT_EQ(records[0].file, "trace_test");
    EXPECT_GT(records[0].line, 0);
    EXPECT_EQ(records[0].text, "Widget::operate()");
    EXPECT_EQ(records[1].level, ZEPTrace::LEVEL_EXIT);
    EXPECT_EQ(records[1].file, "");
    EXPECT_EQ(records[1].line, 0);
    EXPECT_EQ(records[1].text, "Widget::operate()");
}

TEST(TraceBracket, WritesExitWhenLeftByException) {
    TraceCapture capture;
    EXPECT_THROW(tracedOperation(true), std::runtime_error);
    EXPECT_EQ(capture.texts(ZEPTrace::LEVEL_EXIT), std::vector<std::string>{"Widget::operate()"});
}

TEST(TraceBracket, MasksDecideWhatIsWritten) {
    TraceCapture capture;
    ZEPTrace::instance->setComponentMask(0x1);
    tracedOperation(false);
    EXPECT_TRUE(capture.records().empty());

    // Without an entry record there is no exit record either.
    ZEPTrace::instance->setComponentMask(0x200);
    ZEPTrace::instance->setLevelMask(ZEPTrace::LEVEL_EXIT);
    tracedOperation(false);
    EXPECT_TRUE(capture.records().empty());

    ZEPTrace::instance->setLevelMask(ZEPTrace::LEVEL_ENTRY);
    tracedOperation(false);
    EXPECT_EQ(capture.records().size(), 1u);
}

TEST(TraceBracket, NoExitWhenTracingWasSwitchedOnInside) {
    TraceCapture capture;
    ZEPTrace::instance->setOn(false);
    {
        ZEP_TRACE(0x200, "Widget::late()");
        ZEPTrace::instance->setOn(true);
    }
    EXPECT_TRUE(capture.records().empty());
}

TEST(Trace, InformationalRecordsFollowComponentAndLevel) {
    TraceCapture capture;
    ZEP_TRACE_INFO(0x200, "CKA_LABEL missing on Key Object");
    ZEPTrace::instance->setLevelMask(ZEPTrace::LEVEL_ENTRY | ZEPTrace::LEVEL_EXIT);
    ZEP_TRACE_INFO(0x200, "not written");
    EXPECT_EQ(capture.texts(ZEPTrace::LEVEL_INFO), std::vector<std::string>{"CKA_LABEL missing on Key Object"});
}

TEST(Trace, WriteReportsWhetherARecordWasWritten) {
    TraceCapture capture;
    EXPECT_TRUE(ZEPTrace::instance->write("file", 7, ZEPTrace::LEVEL_INFO, "abc", 2));
    EXPECT_EQ(capture.texts(ZEPTrace::LEVEL_INFO), std::vector<std::string>{"ab"});
    ZEPTrace::instance->setOn(false);
    EXPECT_FALSE(ZEPTrace::instance->write("file", 7, ZEPTrace::LEVEL_INFO, "abc", 3));
}

TEST(FileBaseName, StripsFoldersAndExtension) {
    constexpr ZEPFileBaseName<sizeof("/a/b.c/pkcs11client.cpp")> unix{"/a/b.c/pkcs11client.cpp"};
    constexpr ZEPFileBaseName<sizeof("C:\\src\\slotmanager.cpp")> windows{"C:\\src\\slotmanager.cpp"};
    constexpr ZEPFileBaseName<sizeof("noextension")> bare{"noextension"};
    EXPECT_STREQ(unix.name, "pkcs11client");
    EXPECT_STREQ(windows.name, "slotmanager");
    EXPECT_STREQ(bare.name, "noextension");
}
