// ANY: keeps the complete DER element it holds, whatever its type.
// Constructed contents are checked to be well-formed DER elements.
#ifndef MERVIL_ASN_ANY_H
#define MERVIL_ASN_ANY_H

#include "asn/asn_object.h"

class asn_any : public asn_object {
public:
    // No value until one is set or read.
    explicit asn_any(int security = 0) : asn_object(0, false, security) {}

    int assign(const asn_object& other) override;
    void reset() override;

    // Holds the encoding of `value`.
    int set_value(const asn_object& value);
    // Decodes the held element into `value`.
    int get_value(asn_object& value) const;
    // The held element, identifier and length included.
    const asn_bytes& der() const { return der_; }
    // Identifier of the held element; get_tag/get_class give its tag.
    bool holds_constructed() const { return heldConstructed_; }
    // Content octets of the held element.
    r_buffer_t content_view() const;

protected:
    bool accepts(const der_tlv&) const override { return true; }
    int decode_content(const der_tlv& tlv, unsigned depth) override;
    int encode_content(buffer_t& out) const override;
    int encode_element(buffer_t& out) const override;

private:
    asn_bytes der_;
    size_t headerLength_ = 0;
    bool heldConstructed_ = false;
};

#endif
