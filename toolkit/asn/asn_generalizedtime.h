// GeneralizedTime.
#ifndef MERVIL_ASN_GENERALIZEDTIME_H
#define MERVIL_ASN_GENERALIZEDTIME_H

#include "asn/asn_timebase.h"

class asn_generalizedtime : public asn_timebase {
public:
    explicit asn_generalizedtime(int security = 0) : asn_timebase(GENERALIZED_TIME, security) {}
};

#endif
