// Calendar date-times in UTC with millisecond resolution, exported by the
// module for the toolkit: normalisation, conversion to and from struct tm,
// comparisons, interval texts and thread-safe time conversions.
#ifndef MERVIL7_UTCTIME_H
#define MERVIL7_UTCTIME_H

#include "moduleexport.h"
#include <cstdint>
#include <ctime>

class asn_generalizedtime;

struct utcDateTime {
    uint32_t year = 0;   // full year, for example 2024
    uint32_t month = 0;  // 1 to 12
    uint32_t day = 0;    // 1 to the length of the month; 0 is kept by normalisation
    uint32_t hour = 0;
    uint32_t minute = 0;
    uint32_t second = 0;
    uint32_t millisecond = 0;
};

// Status of strToInterval for a malformed interval text.
constexpr unsigned long INTERVAL_TEXT_MALFORMED = 82313243;  // 0x04E8001B

// A normalised copy of t as struct tm; milliseconds are dropped, tm_wday and
// tm_yday are 0 and tm_isdst is 0.
MERVIL7_EXPORT struct tm utc2tm(const utcDateTime& t);
// The fields of tm taken as unsigned numbers, normalised; tm_wday, tm_yday
// and tm_isdst are not read.
MERVIL7_EXPORT utcDateTime tm2utc(struct tm fields);
// The date and time of a GeneralizedTime, normalised; the fraction and the
// time zone are not used.
MERVIL7_EXPORT utcDateTime gen2utc(const asn_generalizedtime& time);
// The current UTC time, millisecond 0.
MERVIL7_EXPORT utcDateTime utcNow();
// Carries overflowing fields upwards (milliseconds into seconds and so on, a
// month above 12 into the year, days beyond the month's length into the
// following months), and turns month 0 into December of the previous year.
// No field borrows from a larger one, so a day of 0 stays 0.
MERVIL7_EXPORT void utcNormalize(utcDateTime& t);
MERVIL7_EXPORT utcDateTime utcCopy(const utcDateTime& t);

// Comparisons of normalised copies; the arguments are not changed.
MERVIL7_EXPORT bool utcEQ(const utcDateTime& a, const utcDateTime& b);
MERVIL7_EXPORT bool utcNE(const utcDateTime& a, const utcDateTime& b);
MERVIL7_EXPORT bool utcLT(const utcDateTime& a, const utcDateTime& b);
MERVIL7_EXPORT bool utcLE(const utcDateTime& a, const utcDateTime& b);
MERVIL7_EXPORT bool utcGT(const utcDateTime& a, const utcDateTime& b);
MERVIL7_EXPORT bool utcGE(const utcDateTime& a, const utcDateTime& b);

// Reads an interval text into seconds: numbers each followed by one of the
// units w, d, h, m, s (weeks to seconds), each unit at most once and in that
// order, white space allowed between them ("1d 12h"); a lone number counts
// hours, an empty or blank text is 0. Returns 0, or INTERVAL_TEXT_MALFORMED
// with seconds holding what was read until the fault. The arithmetic is
// unsigned 32-bit and wraps.
MERVIL7_EXPORT unsigned long strToInterval(const char* text, unsigned long& seconds);

// Local and UTC broken-down time of `seconds` (since 1970), written to
// *out, which must not be null. Safe to call from several threads at once:
// the conversion uses no shared result buffer. When the runtime library
// cannot convert the time, *out is zero-filled.
MERVIL7_EXPORT void threadsafe_localtime(long seconds, struct tm* out);
MERVIL7_EXPORT void threadsafe_gmtime(long seconds, struct tm* out);

#endif
