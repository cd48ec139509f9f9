#include "utctime.h"

#include "asn/asn_generalizedtime.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdlib>

namespace {

bool isLeapYear(uint32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

uint32_t daysInMonth(uint32_t month, uint32_t year) {
    static constexpr uint32_t lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : lengths[month - 1];
}

// Moves whole multiples of base from low into high. Dividing gives the same
// result as carrying one at a time, wrap-around of high included.
void carry(uint32_t& low, uint32_t& high, uint32_t base) {
    high += low / base;
    low %= base;
}

std::array<uint32_t, 7> normalisedFields(const utcDateTime& t) {
    const utcDateTime n = utcCopy(t);
    return {n.year, n.month, n.day, n.hour, n.minute, n.second, n.millisecond};
}

// A reading position in an interval text.
class IntervalText {
public:
    explicit IntervalText(const char* text) : position_(text) {}

    // Reads a decimal number as strtol does with a 32-bit long (leading
    // white space and a sign allowed, clamped to the long's range, whatever
    // the platform's long), kept modulo 2^32; false, and nothing read, when
    // there is none.
    bool readNumber(uint32_t& number) {
        char* end = nullptr;
        const long long value = std::strtoll(position_, &end, 10);
        if (end == position_) return false;
        number = static_cast<uint32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
        position_ = end;
        return true;
    }

    void skipSpace() {
        while (std::isspace(static_cast<unsigned char>(*position_))) ++position_;
    }

    bool atEnd() const { return *position_ == '\0'; }

    // Steps past letter when it comes next.
    bool take(char letter) {
        if (*position_ != letter) return false;
        ++position_;
        return true;
    }

private:
    const char* position_;
};

// The units from the largest down, each with its size in the next smaller one.
struct IntervalUnit {
    char letter;
    uint32_t multiplier;
};
constexpr IntervalUnit INTERVAL_UNITS[] = {{'w', 7}, {'d', 24}, {'h', 60}, {'m', 60}, {'s', 1}};

// Reads numbers with units into total (the sum so far, multiplied down to
// the current unit after each one), so total holds the partial sum when the
// text turns out malformed.
unsigned long readUnits(const char* text, uint32_t& total) {
    IntervalText cursor(text);
    uint32_t number = 0;
    bool pending = false;
    for (const IntervalUnit& unit : INTERVAL_UNITS) {
        if (!cursor.atEnd()) {
            if (!pending) pending = cursor.readNumber(number);
            cursor.skipSpace();
            if (cursor.atEnd() && pending) return INTERVAL_TEXT_MALFORMED;
            if (cursor.take(unit.letter)) {
                if (!pending) return INTERVAL_TEXT_MALFORMED;
                total += number;
                pending = false;
            }
        }
        total *= unit.multiplier;
    }
    cursor.skipSpace();
    return cursor.atEnd() ? 0 : INTERVAL_TEXT_MALFORMED;
}

// *out is zero-filled when convert (localtime_r or the like) fails.
template <typename Convert>
void convertTime(long seconds, struct tm* out, Convert convert) {
    const time_t time = seconds;
    struct tm result {};
    if (!convert(&time, &result)) result = tm{};
    *out = result;
}

}  // namespace

struct tm utc2tm(const utcDateTime& t) {
    const utcDateTime n = utcCopy(t);
    struct tm result {};
    result.tm_sec = static_cast<int>(n.second);
    result.tm_min = static_cast<int>(n.minute);
    result.tm_hour = static_cast<int>(n.hour);
    result.tm_mday = static_cast<int>(n.day);
    result.tm_mon = static_cast<int>(n.month - 1);
    result.tm_year = static_cast<int>(n.year - 1900);
    return result;
}

utcDateTime tm2utc(struct tm fields) {
    utcDateTime t;
    t.year = static_cast<uint32_t>(fields.tm_year) + 1900;
    t.month = static_cast<uint32_t>(fields.tm_mon) + 1;
    t.day = static_cast<uint32_t>(fields.tm_mday);
    t.hour = static_cast<uint32_t>(fields.tm_hour);
    t.minute = static_cast<uint32_t>(fields.tm_min);
    t.second = static_cast<uint32_t>(fields.tm_sec);
    utcNormalize(t);
    return t;
}

utcDateTime gen2utc(const asn_generalizedtime& time) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, fraction = 0, tzHours = 0, tzMinutes = 0;
    // An undecodable time leaves the fields 0.
    time.get_value(year, month, day, hour, minute, second, fraction, tzHours, tzMinutes);
    struct tm fields = {};
    fields.tm_year = year - 1900;
    fields.tm_mon = month;  // get_value counts months from 0, as struct tm does
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return tm2utc(fields);
}

utcDateTime utcNow() {
    struct tm now;
    threadsafe_gmtime(static_cast<long>(std::time(nullptr)), &now);
    return tm2utc(now);
}

void utcNormalize(utcDateTime& t) {
    carry(t.millisecond, t.second, 1000);
    carry(t.second, t.minute, 60);
    carry(t.minute, t.hour, 60);
    carry(t.hour, t.day, 24);
    if (t.month > 12) {
        t.year += (t.month - 1) / 12;
        t.month = (t.month - 1) % 12 + 1;
    }
    if (t.month == 0) {
        t.month = 12;
        --t.year;
    }
    // Month by month, as the lengths differ.
    for (uint32_t length; t.day > (length = daysInMonth(t.month, t.year));) {
        t.day -= length;
        if (++t.month > 12) {
            t.month = 1;
            ++t.year;
        }
    }
}

utcDateTime utcCopy(const utcDateTime& t) {
    utcDateTime copy = t;
    utcNormalize(copy);
    return copy;
}

bool utcEQ(const utcDateTime& a, const utcDateTime& b) { return normalisedFields(a) == normalisedFields(b); }

bool utcNE(const utcDateTime& a, const utcDateTime& b) { return !utcEQ(a, b); }

// Field by field from the year down; the first that differs decides.
bool utcLT(const utcDateTime& a, const utcDateTime& b) { return normalisedFields(a) < normalisedFields(b); }

bool utcLE(const utcDateTime& a, const utcDateTime& b) { return utcLT(a, b) || utcEQ(a, b); }

bool utcGT(const utcDateTime& a, const utcDateTime& b) { return !utcLE(a, b); }

bool utcGE(const utcDateTime& a, const utcDateTime& b) { return !utcLT(a, b); }

unsigned long strToInterval(const char* text, unsigned long& seconds) {
    // A lone number (or none, or only white space) counts hours.
    IntervalText lone(text);
    uint32_t hours = 0;
    lone.readNumber(hours);
    lone.skipSpace();
    if (lone.atEnd()) {
        seconds = hours * 3600u;
        return 0;
    }
    uint32_t total = 0;
    unsigned long status = readUnits(text, total);
    seconds = total;
    return status;
}

void threadsafe_localtime(long seconds, struct tm* out) {
#ifdef _WIN32
    convertTime(seconds, out, [](const time_t* time, struct tm* result) { return localtime_s(result, time) == 0; });
#else
    convertTime(seconds, out,
                [](const time_t* time, struct tm* result) { return localtime_r(time, result) != nullptr; });
#endif
}

void threadsafe_gmtime(long seconds, struct tm* out) {
#ifdef _WIN32
    convertTime(seconds, out, [](const time_t* time, struct tm* result) { return gmtime_s(result, time) == 0; });
#else
    convertTime(seconds, out, [](const time_t* time, struct tm* result) { return gmtime_r(time, result) != nullptr; });
#endif
}
