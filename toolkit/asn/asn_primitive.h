// Base of the primitive types: the value is kept as its DER content octets,
// which each type checks when decoding and builds in its setters.
#ifndef MERVIL_ASN_PRIMITIVE_H
#define MERVIL_ASN_PRIMITIVE_H

#include <cstddef>

#include "asn/asn_object.h"

class asn_primitive : public asn_object {
public:
    int assign(const asn_object& other) override;
    void reset() override;

    // The content octets as they stand.
    const asn_bytes& content() const { return content_; }
    r_buffer_t content_view() const;

protected:
    asn_primitive(unsigned long tag, int security, asn_bytes initial = {})
        : asn_object(tag, false, security), initial_(initial), content_(initial) {}

    // Checks content octets read from DER; 0 when they are a DER value.
    virtual int check_content(const unsigned char* content, size_t length) const = 0;
    // Replaces the content (after the caller checked it) and marks the
    // object present.
    void store(const unsigned char* content, size_t length);
    void store(asn_bytes content);

    int decode_content(const der_tlv& tlv, unsigned depth) override;
    int encode_content(buffer_t& out) const override;

private:
    asn_bytes initial_;
    asn_bytes content_;
};

#endif
