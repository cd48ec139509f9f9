// Name ::= RDNSequence ::= SEQUENCE OF RelativeDistinguishedName,
// RelativeDistinguishedName ::= SET OF AttributeTypeAndValue.
// Names are equal when their DER encodings are (operator== of asn_object).
#ifndef MERVIL_ASN_X500NAME_H
#define MERVIL_ASN_X500NAME_H

#include <string>

#include "asn/asn_collection.h"
#include "asn/attributetypeandvalue.h"

using RelativeDistinguishedName = asn_set_of<AttributeTypeAndValue>;

class asn_x500name : public asn_sequence_of<RelativeDistinguishedName> {
public:
    explicit asn_x500name(int security = 0) : asn_sequence_of<RelativeDistinguishedName>(security) {}

    // RFC 4514 text, most specific RDN first, values of a multi-valued RDN
    // joined by '+' (also from last to first in DER order, as the common
    // tools print them). Known attribute types by short name ("CN", "O",
    // "emailAddress"); others as dotted OIDs with the value's DER as #hex.
    // Special characters are escaped with a backslash, control characters
    // and every byte of a non-ASCII character as \XX (hexadecimal).
    std::string to_string() const;
    // Parses such text; values become the string type usual for their
    // attribute (ZEPASNOID::attributeStringTag), UTF8String when the text
    // does not fit it. ASN_BAD_ARGUMENT on malformed text; the name is
    // unchanged then.
    int from_string(const std::string& text);
};

#endif
