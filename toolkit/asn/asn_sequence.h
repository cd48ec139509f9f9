// SEQUENCE of registered children.
#ifndef MERVIL_ASN_SEQUENCE_H
#define MERVIL_ASN_SEQUENCE_H

#include "asn/asn_composite.h"

class asn_sequence : public asn_composite {
public:
    explicit asn_sequence(int security = 0) : asn_composite(16, security) {}
};

#endif
