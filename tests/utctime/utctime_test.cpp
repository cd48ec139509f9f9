#include "utctime.h"

#include "asn/asn_generalizedtime.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>

namespace {

std::array<uint32_t, 7> fields(const utcDateTime& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond};
}

TEST(UtcNormalize, CarriesUpwardsThroughTheCalendar) {
    const struct {
        utcDateTime input, expected;
    } cases[] = {
        {{2023, 12, 31, 23, 59, 59, 1000}, {2024, 1, 1}},
        {{2024, 2, 30}, {2024, 3, 1}}, {{2023, 2, 29}, {2023, 3, 1}}, {{1900, 2, 29}, {1900, 3, 1}},
        {{2000, 2, 29}, {2000, 2, 29}}, {{2024, 2, 29}, {2024, 2, 29}},
        {{2023, 13, 1}, {2024, 1, 1}}, {{2023, 24, 1}, {2024, 12, 1}}, {{2023, 25, 1}, {2025, 1, 1}},
        {{2024, 0, 1}, {2023, 12, 1}},
        {{2024, 5, 0, 10}, {2024, 5, 0, 10}}, {{2024, 5, 0, 23, 60}, {2024, 5, 1}},  // day 0 is not borrowed from
        {{2023, 1, 60}, {2023, 3, 1}}, {{2023, 12, 32}, {2024, 1, 1}},
    };
    for (const auto& c : cases) {
        utcDateTime t = c.input;
        utcNormalize(t);
        EXPECT_EQ(fields(t), fields(c.expected)) << c.input.year << "-" << c.input.month << "-" << c.input.day;
    }
}

TEST(UtcCompare, ComparesNormalisedCopies) {
    const utcDateTime ten{2024, 6, 1, 10}, eleven{2024, 6, 1, 11};
    EXPECT_TRUE(!utcEQ(ten, eleven) && utcNE(ten, eleven));
    EXPECT_TRUE(utcLT(ten, eleven) && utcLE(ten, eleven) && !utcGT(ten, eleven) && !utcGE(ten, eleven));
    EXPECT_TRUE(utcGT(eleven, ten) && utcGE(eleven, ten));

    const utcDateTime midnight{2024, 1, 31, 24}, february{2024, 2, 1};
    EXPECT_TRUE(utcEQ(midnight, february) && utcLE(midnight, february) && utcGE(midnight, february));
    EXPECT_FALSE(utcLT(midnight, february) || utcGT(midnight, february) || utcNE(midnight, february));
    EXPECT_EQ(fields(utcCopy(midnight)), fields(february));
    EXPECT_EQ(midnight.hour, 24u);  // the argument is left as it was

    // The month outweighs the day; milliseconds count.
    EXPECT_TRUE(utcLT({2024, 1, 31}, {2024, 2, 1}));
    EXPECT_TRUE(utcLT({2024, 1, 1, 0, 0, 0, 1}, {2024, 1, 1, 0, 0, 0, 2}));
}

TEST(UtcTm, MapsFieldsBothWays) {
    const struct tm tm = utc2tm({2024, 3, 5, 6, 7, 8, 900});
    EXPECT_EQ((std::array{tm.tm_year, tm.tm_mon, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_isdst}),
              (std::array{124, 2, 5, 6, 7, 8, 0}));
    EXPECT_EQ(utc2tm({2024, 1, 31, 24}).tm_mon, 1);  // normalised first

    struct tm last {};
    last.tm_year = 124, last.tm_mon = 11, last.tm_mday = 31, last.tm_hour = 23, last.tm_min = 59, last.tm_sec = 60;
    EXPECT_EQ(fields(tm2utc(last)), fields({2025, 1, 1}));
}

TEST(StrToInterval, ReadsNumbersWithUnits) {
    const struct {
        const char* text;
        unsigned long seconds;
    } cases[] = {
        {"5", 18000}, {"5s", 5}, {"90m", 5400}, {"1w", 604800}, {"1w 1d 1h 1m 1s", 694861}, {"1d 2h", 93600},
        {"", 0}, {"   ", 0}, {" 2 ", 7200},
        {"2000000", 2905032704u}, {"2000000h", 2905032704u},  // wraps at 32 bits
        // Numbers are read as a 32-bit long: clamped to its range, then wrapped.
        {"4294967297s", 2147483647u}, {"99999999999999999999s", 2147483647u}, {"-4294967297s", 2147483648u},
        {"2147483648", 4294963696u},
    };
    for (const auto& c : cases) {
        unsigned long seconds = 1;
        EXPECT_EQ(strToInterval(c.text, seconds), 0u) << '"' << c.text << '"';
        EXPECT_EQ(seconds, c.seconds) << '"' << c.text << '"';
    }
}

TEST(StrToInterval, RejectsMalformedTexts) {
    for (const char* text : {"h", "5x", "1h 30", "2h1d", "1H", "1d 1d", "3 h m"}) {
        unsigned long seconds = 0;
        EXPECT_EQ(strToInterval(text, seconds), INTERVAL_TEXT_MALFORMED) << '"' << text << '"';
    }
    unsigned long seconds = 0;
    strToInterval("1h 30", seconds);
    EXPECT_EQ(seconds, 60u);  // the hour, multiplied down to minutes when the fault came
}

TEST(ThreadsafeTime, ConvertsAndZeroFillsOnFailure) {
    struct tm tm;
    threadsafe_gmtime(1700000000, &tm);
    EXPECT_EQ(fields(tm2utc(tm)), fields({2023, 11, 14, 22, 13, 20}));
    EXPECT_EQ(tm.tm_yday, 317);

    if (sizeof(long) < 8) GTEST_SKIP() << "every 32-bit time converts";
    std::memset(&tm, 0x55, sizeof tm);
    threadsafe_gmtime(LONG_MAX, &tm);
    EXPECT_TRUE(tm.tm_year == 0 && tm.tm_mday == 0 && tm.tm_sec == 0);
}

TEST(GeneralizedTime, ConvertsWithItsZeroBasedMonth) {
    asn_generalizedtime time;
    ASSERT_EQ(time.set_value(2024, 1, 29, 23, 58, 59, 250), 0);
    EXPECT_EQ(fields(gen2utc(time)), fields({2024, 2, 29, 23, 58, 59}));  // milliseconds are dropped
}

}  // namespace
