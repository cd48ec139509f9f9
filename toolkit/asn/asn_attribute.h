// Attribute ::= SEQUENCE { type OBJECT IDENTIFIER, values SET OF ANY }
// (PKCS#8 and PKCS#10 attributes).
#ifndef MERVIL_ASN_ATTRIBUTE_H
#define MERVIL_ASN_ATTRIBUTE_H

#include "asn/asn_any.h"
#include "asn/asn_collection.h"
#include "asn/asn_oid.h"
#include "asn/asn_sequence.h"

class asn_attribute : public asn_sequence {
public:
    explicit asn_attribute(int security = 0) : asn_sequence(security), type(security), values(security) {
        register_child(&type);
        register_child(&values);
    }
    ASN_COPYABLE(asn_attribute)

    asn_oid type;
    asn_set_of<asn_any> values;
};

// Attributes in [0] IMPLICIT SET OF Attribute, as PKCS#8 and PKCS#10 hold them.
class asn_attributes : public asn_set_of<asn_attribute> {
public:
    explicit asn_attributes(int security = 0) : asn_set_of<asn_attribute>(security) {
        set_class(CLASS_CONTEXT);
        set_tag(0);
    }
};

#endif
