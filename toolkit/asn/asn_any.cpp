#include "asn/asn_any.h"

#include <typeinfo>

int asn_any::assign(const asn_object& other) {
    if (typeid(other) != typeid(*this)) return ASN_BAD_ARGUMENT;
    const asn_any& source = static_cast<const asn_any&>(other);
    assign_state(other);
    der_ = source.der_;
    headerLength_ = source.headerLength_;
    heldConstructed_ = source.heldConstructed_;
    return ASN_OK;
}

void asn_any::reset() {
    asn_object::reset();
    der_.clear();
    headerLength_ = 0;
    heldConstructed_ = false;
    set_tag(0);
    set_class(CLASS_UNIVERSAL);
}

int asn_any::set_value(const asn_object& value) {
    buffer_t encoding;
    int rc = value.write(encoding);
    if (rc != ASN_OK) return rc;
    der_reader reader(encoding.data(), encoding.size());
    der_tlv tlv;
    rc = reader.next(tlv);
    if (rc == ASN_OK && !reader.at_end()) rc = ASN_UNSUPPORTED;  // explicitly tagged value
    if (rc == ASN_OK) rc = decode_content(tlv, 0);
    if (rc == ASN_OK) set_present(true);
    return rc;
}

int asn_any::get_value(asn_object& value) const {
    if (der_.empty()) return ASN_NO_VALUE;
    r_buffer_t view;
    view.data = der_.data();
    view.len = static_cast<unsigned int>(der_.size());
    return value.read(view);
}

r_buffer_t asn_any::content_view() const {
    r_buffer_t view;
    view.data = der_.data() + headerLength_;
    view.len = static_cast<unsigned int>(der_.size() - headerLength_);
    return view;
}

int asn_any::decode_content(const der_tlv& tlv, unsigned depth) {
    if (tlv.constructed && tlv.length > 0) {
        int rc = der_check_elements(tlv.content, tlv.length, depth + 1);
        if (rc != ASN_OK) return rc;
    }
    der_.assign(tlv.start, tlv.content + tlv.length);
    headerLength_ = static_cast<size_t>(tlv.content - tlv.start);
    heldConstructed_ = tlv.constructed;
    set_tag(tlv.tag);
    set_class(tlv.cls);
    return ASN_OK;
}

int asn_any::encode_content(buffer_t& out) const {
    r_buffer_t view = content_view();
    out.append(view.data, view.len);
    return ASN_OK;
}

int asn_any::encode_element(buffer_t& out) const {
    if (der_.empty()) return ASN_NO_VALUE;
    out.append(der_.data(), der_.size());
    return ASN_OK;
}
