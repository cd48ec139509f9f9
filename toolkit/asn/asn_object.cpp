#include "asn/asn_object.h"

#include "asn/der_writer.h"

void asn_object::set_explicit_tag(unsigned long tag, int cls) {
    explicit_ = true;
    explicit_tag_ = tag;
    explicit_class_ = cls & 0xC0;
}

void asn_object::set_optional(bool optional) {
    optional_ = optional;
    if (optional) present_ = false;
}

int asn_object::read(const r_buffer_t& input) {
    reset();
    der_reader reader(input.data, input.len);
    int rc = decode(reader, 0);
    if (rc == ASN_OK && !reader.at_end()) rc = ASN_TRAILING_DATA;
    if (rc != ASN_OK) reset();
    return rc;
}

int asn_object::write(buffer_t& out) const {
    if (!present_) return ASN_NO_VALUE;
    buffer_t element;
    int rc = encode_element(element);
    if (rc != ASN_OK) return rc;
    if (explicit_) der_append_header(out, explicit_class_, true, explicit_tag_, element.size());
    out.append(element);
    return ASN_OK;
}

int asn_object::encode_element(buffer_t& out) const {
    buffer_t content;
    int rc = encode_content(content);
    if (rc != ASN_OK) return rc;
    der_append_header(out, cls_, constructed_, tag_, content.size());
    out.append(content);
    return ASN_OK;
}

int asn_object::decode(der_reader& reader, unsigned depth) {
    if (depth > ASN_MAX_DEPTH) return ASN_TOO_DEEP;
    der_tlv tlv;
    int rc = reader.next(tlv);
    if (rc != ASN_OK) return rc;
    if (!matches(tlv)) return ASN_BAD_TAG;
    if (explicit_) {
        der_reader inner(tlv.content, tlv.length);
        rc = inner.next(tlv);
        if (rc != ASN_OK) return rc;
        if (!inner.at_end()) return ASN_TRAILING_DATA;
        if (!accepts(tlv)) return ASN_BAD_TAG;
        if (++depth > ASN_MAX_DEPTH) return ASN_TOO_DEEP;
    }
    rc = decode_content(tlv, depth);
    if (rc == ASN_OK) present_ = true;
    return rc;
}

bool asn_object::matches(const der_tlv& tlv) const {
    if (explicit_) return tlv.cls == explicit_class_ && tlv.constructed && tlv.tag == explicit_tag_;
    return accepts(tlv);
}

bool asn_object::accepts(const der_tlv& tlv) const {
    return tlv.cls == cls_ && tlv.tag == tag_ && tlv.constructed == constructed_;
}

void asn_object::assign_state(const asn_object& other) {
    tag_ = other.tag_;
    cls_ = other.cls_;
    explicit_ = other.explicit_;
    explicit_tag_ = other.explicit_tag_;
    explicit_class_ = other.explicit_class_;
    optional_ = other.optional_;
    present_ = other.present_;
}

bool operator==(const asn_object& left, const asn_object& right) {
    buffer_t a, b;
    return left.write(a) == ASN_OK && right.write(b) == ASN_OK && a == b;
}
