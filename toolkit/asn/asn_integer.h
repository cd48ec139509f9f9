// INTEGER: content octets are the two's complement big-endian value.
// Content is kept as given or read, redundant leading sign octets (00
// before a clear top bit, FF before a set one) included: key components
// travel byte for byte, as a token or a caller gives them, and what was
// read encodes back to the same bytes.
#ifndef MERVIL_ASN_INTEGER_H
#define MERVIL_ASN_INTEGER_H

#include "asn/asn_primitive.h"

class asn_integer : public asn_primitive {
public:
    // The value 0.
    explicit asn_integer(int security = 0) : asn_primitive(2, security, asn_bytes{0}) {}

    // Content octets as they stand; refuses only empty ones.
    int set_value(const unsigned char* bytes, size_t length);
    int set_value(const ZEPBuffer& bytes) { return set_value(bytes.getValue(), bytes.getLength()); }
    int get_value(ZEPBuffer& bytes) const;
    // The minimal content octets of `value`.
    int set_value(long value);
    // ASN_UNSUPPORTED when the value does not fit a long.
    int get_value(long& value) const;
    // The unsigned magnitude: content octets without leading zeros.
    int get_unsigned(ZEPBuffer& magnitude) const;
    bool is_negative() const { return !content().empty() && (content()[0] & 0x80); }

protected:
    int check_content(const unsigned char* content, size_t length) const override;
};

#endif
