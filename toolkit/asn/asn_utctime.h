// UTCTime.
#ifndef MERVIL_ASN_UTCTIME_H
#define MERVIL_ASN_UTCTIME_H

#include "asn/asn_timebase.h"

class asn_utctime : public asn_timebase {
public:
    explicit asn_utctime(int security = 0) : asn_timebase(UTC_TIME, security) {}
};

#endif
