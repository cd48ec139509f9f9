// Base of the time types: UTCTime (YYMMDDHHMMSSZ, years 1950 to 2049) and
// GeneralizedTime (YYYYMMDDHHMMSS[.fff]Z), both in their DER form: UTC,
// seconds present, no trailing zeros in the fraction.
#ifndef MERVIL_ASN_TIMEBASE_H
#define MERVIL_ASN_TIMEBASE_H

#include "asn/asn_primitive.h"

class asn_timebase : public asn_primitive {
public:
    static constexpr unsigned long UTC_TIME = 23;
    static constexpr unsigned long GENERALIZED_TIME = 24;

    // Full year; month from 0 (January) to 11, like struct tm's tm_mon;
    // day 1 to 31; fraction in milliseconds (further digits are dropped);
    // the time-zone hours and minutes are always 0, as DER times are UTC.
    int get_value(int& year, int& month, int& day, int& hour, int& minute, int& second, int& fraction,
                  int& tzHours, int& tzMinutes) const;
    // Same units as get_value; ASN_BAD_ARGUMENT when out of range or, for a
    // UTCTime, outside 1950 to 2049.
    int set_value(int year, int month, int day, int hour, int minute, int second, int fraction = 0);

protected:
    asn_timebase(unsigned long tag, int security) : asn_primitive(tag, security) {}
    int check_content(const unsigned char* content, size_t length) const override;
};

#endif
