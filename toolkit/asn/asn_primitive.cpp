#include "asn/asn_primitive.h"

#include <typeinfo>

int asn_primitive::assign(const asn_object& other) {
    const asn_primitive* source = dynamic_cast<const asn_primitive*>(&other);
    if (!source || typeid(*source) != typeid(*this)) return ASN_BAD_ARGUMENT;
    assign_state(other);
    content_ = source->content_;
    return ASN_OK;
}

void asn_primitive::reset() {
    asn_object::reset();
    content_ = initial_;
}

r_buffer_t asn_primitive::content_view() const {
    r_buffer_t view;
    view.data = content_.data();
    view.len = static_cast<unsigned int>(content_.size());
    return view;
}

void asn_primitive::store(const unsigned char* content, size_t length) {
    store(asn_bytes(content, content + length));
}

void asn_primitive::store(asn_bytes content) {
    content_ = std::move(content);
    set_present(true);
}

int asn_primitive::decode_content(const der_tlv& tlv, unsigned) {
    int rc = check_content(tlv.content, tlv.length);
    if (rc == ASN_OK) content_.assign(tlv.content, tlv.content + tlv.length);
    return rc;
}

int asn_primitive::encode_content(buffer_t& out) const {
    int rc = check_content(content_.data(), content_.size());
    if (rc == ASN_OK) out.append(content_.data(), content_.size());
    return rc == ASN_OK ? ASN_OK : ASN_NO_VALUE;
}
