// AttributeTypeAndValue ::= SEQUENCE { type OBJECT IDENTIFIER, value ANY }
#ifndef MERVIL_ATTRIBUTETYPEANDVALUE_H
#define MERVIL_ATTRIBUTETYPEANDVALUE_H

#include "asn/asn_any.h"
#include "asn/asn_oid.h"
#include "asn/asn_sequence.h"

class AttributeTypeAndValue : public asn_sequence {
public:
    explicit AttributeTypeAndValue(int security = 0) : asn_sequence(security), type(security), value(security) {
        register_child(&type);
        register_child(&value);
    }
    ASN_COPYABLE(AttributeTypeAndValue)

    asn_oid type;
    asn_any value;
};

#endif
