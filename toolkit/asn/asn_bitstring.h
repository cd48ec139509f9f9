// BIT STRING: first content octet counts the unused bits of the last one.
#ifndef MERVIL_ASN_BITSTRING_H
#define MERVIL_ASN_BITSTRING_H

#include "asn/asn_primitive.h"

class asn_bitstring : public asn_primitive {
public:
    // The empty bit string.
    explicit asn_bitstring(int security = 0) : asn_primitive(3, security, asn_bytes{0}) {}

    // `bitLength` bits from `bytes` (bitLength rounded up to whole bytes are
    // read); unused trailing bits are cleared as DER demands.
    int set_value(const unsigned char* bytes, unsigned long bitLength);
    int set_value(const ZEPBuffer& bytes) { return set_value(bytes.getValue(), 8UL * bytes.getLength()); }
    int get_value(ZEPBuffer& bytes, unsigned long& bitLength) const;
    unsigned long get_bit_length() const;
    // The value octets without the unused-bits octet.
    r_buffer_t value_view() const;

protected:
    int check_content(const unsigned char* content, size_t length) const override;
};

#endif
