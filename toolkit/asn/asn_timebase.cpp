#include "asn/asn_timebase.h"

#include <cstdio>

namespace {

struct time_fields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, fraction = 0;
};

bool digits(const unsigned char* text, size_t count, int& value) {
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool valid(const time_fields& t) {
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.month < 1 || t.month > 12 || t.day < 1) return false;
    int monthLength = lengths[t.month - 1] + (t.month == 2 && is_leap(t.year) ? 1 : 0);
    return t.day <= monthLength && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
           t.second >= 0 && t.second <= 59 && t.fraction >= 0 && t.fraction <= 999;
}

// Fields of DER time text of the given type; the month counts from 1.
int parse(unsigned long tag, const unsigned char* text, size_t length, time_fields& t) {
    size_t yearDigits = tag == asn_timebase::UTC_TIME ? 2 : 4;
    size_t fixed = yearDigits + 10;
    if (length < fixed + 1 || text[length - 1] != 'Z') return ASN_BAD_VALUE;
    if (!digits(text, yearDigits, t.year) || !digits(text + yearDigits, 2, t.month) ||
        !digits(text + yearDigits + 2, 2, t.day) || !digits(text + yearDigits + 4, 2, t.hour) ||
        !digits(text + yearDigits + 6, 2, t.minute) || !digits(text + yearDigits + 8, 2, t.second))
        return ASN_BAD_VALUE;
    if (tag == asn_timebase::UTC_TIME) {
        t.year += t.year < 50 ? 2000 : 1900;
        if (length != fixed + 1) return ASN_BAD_VALUE;
    } else if (length > fixed + 1) {
        // A fraction: '.', at least one digit, no trailing zero.
        size_t count = length - fixed - 2;
        int ignored;
        if (text[fixed] != '.' || count == 0 || !digits(text + fixed + 1, count, ignored)) return ASN_BAD_VALUE;
        if (text[length - 2] == '0') return ASN_NOT_DER;
        const unsigned char* fraction = text + fixed + 1;
        for (size_t i = 0; i < 3; ++i) t.fraction = t.fraction * 10 + (i < count ? fraction[i] - '0' : 0);
    }
    return valid(t) ? ASN_OK : ASN_BAD_VALUE;
}

}  // namespace

int asn_timebase::check_content(const unsigned char* content, size_t length) const {
    time_fields t;
    return parse(get_tag(), content, length, t);
}

int asn_timebase::get_value(int& year, int& month, int& day, int& hour, int& minute, int& second, int& fraction,
                            int& tzHours, int& tzMinutes) const {
    time_fields t;
    int rc = content().empty() ? ASN_NO_VALUE : parse(get_tag(), content().data(), content().size(), t);
    if (rc != ASN_OK) return rc;
    year = t.year;
    month = t.month - 1;
    day = t.day;
    hour = t.hour;
    minute = t.minute;
    second = t.second;
    fraction = t.fraction;
    tzHours = 0;
    tzMinutes = 0;
    return ASN_OK;
}

int asn_timebase::set_value(int year, int month, int day, int hour, int minute, int second, int fraction) {
    time_fields t{year, month + 1, day, hour, minute, second, fraction};
    bool utc = get_tag() == UTC_TIME;
    if (!valid(t) || (utc && (year < 1950 || year > 2049) ) || year < 0 || year > 9999 || (utc && fraction))
        return ASN_BAD_ARGUMENT;
    char text[32];
    int length = utc ? std::snprintf(text, sizeof text, "%02d%02d%02d%02d%02d%02d", year % 100, t.month, day, hour,
                                     minute, second)
                     : std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", year, t.month, day, hour,
                                     minute, second);
    if (fraction) {
        int digitsLength = fraction % 100 == 0 ? 1 : fraction % 10 == 0 ? 2 : 3;
        int scaled = digitsLength == 1 ? fraction / 100 : digitsLength == 2 ? fraction / 10 : fraction;
        length += std::snprintf(text + length, sizeof text - static_cast<size_t>(length), ".%0*d", digitsLength,
                                scaled);
    }
    text[length++] = 'Z';
    store(reinterpret_cast<const unsigned char*>(text), static_cast<size_t>(length));
    return ASN_OK;
}
