// Time ::= CHOICE { utcTime UTCTime, generalTime GeneralizedTime }, as in
// X.509 validity: reads either; set_value picks UTCTime for the years 1950
// to 2049 and GeneralizedTime otherwise.
#ifndef MERVIL_ASN_TIME_H
#define MERVIL_ASN_TIME_H

#include "asn/asn_timebase.h"

class asn_time : public asn_timebase {
public:
    explicit asn_time(int security = 0) : asn_timebase(UTC_TIME, security) {}

    int set_value(int year, int month, int day, int hour, int minute, int second);
    bool is_utc_time() const { return get_tag() == UTC_TIME; }

protected:
    bool accepts(const der_tlv& tlv) const override;
    int decode_content(const der_tlv& tlv, unsigned depth) override;
};

#endif
