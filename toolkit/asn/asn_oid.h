// OBJECT IDENTIFIER, handled as its arcs. Arcs must fit an unsigned long
// (32 bits on some platforms); larger ones are refused as unsupported.
#ifndef MERVIL_ASN_OID_H
#define MERVIL_ASN_OID_H

#include <string>
#include <vector>

#include "asn/asn_primitive.h"

class asn_oid : public asn_primitive {
public:
    // No value until one is set or read.
    explicit asn_oid(int security = 0) : asn_primitive(6, security) {}

    // At least two arcs; the first 0, 1 or 2, the second below 40 unless
    // the first is 2.
    int set_value(const unsigned long* arcs, unsigned count);
    int get_value(std::vector<unsigned long>& arcs) const;
    bool is_equal(const unsigned long* arcs, unsigned count) const;
    // Dotted decimal text ("2.5.4.3"); empty when no value is set.
    std::string to_string() const;
    int from_string(const std::string& dotted);

protected:
    int check_content(const unsigned char* content, size_t length) const override;
};

#endif
