// BOOLEAN: DER allows only 00 (false) and FF (true).
#ifndef MERVIL_ASN_BOOLEAN_H
#define MERVIL_ASN_BOOLEAN_H

#include "asn/asn_primitive.h"

class asn_boolean : public asn_primitive {
public:
    explicit asn_boolean(int security = 0) : asn_primitive(1, security, asn_bytes{0}) {}

    void set_value(bool value) { store(asn_bytes{static_cast<unsigned char>(value ? 0xFF : 0x00)}); }
    bool get_value() const { return content().size() == 1 && content()[0] == 0xFF; }

protected:
    int check_content(const unsigned char* content, size_t length) const override;
};

#endif
