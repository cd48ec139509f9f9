#include "asn/asn_composite.h"

#include <typeinfo>

int asn_composite::assign(const asn_object& other) {
    if (typeid(other) != typeid(*this)) return ASN_BAD_ARGUMENT;
    const asn_composite& source = static_cast<const asn_composite&>(other);
    if (source.children_.size() != children_.size()) return ASN_BAD_ARGUMENT;
    for (size_t i = 0; i < children_.size(); ++i) {
        int rc = children_[i]->assign(*source.children_[i]);
        if (rc != ASN_OK) return rc;
    }
    assign_state(other);
    return ASN_OK;
}

void asn_composite::reset() {
    asn_object::reset();
    for (asn_object* child : children_) child->reset();
}

int asn_composite::decode_content(const der_tlv& tlv, unsigned depth) {
    der_reader reader(tlv.content, tlv.length);
    for (asn_object* child : children_) {
        der_tlv next;
        int rc = reader.at_end() ? ASN_TRUNCATED : reader.peek(next);
        if (rc == ASN_OK && !child->matches(next)) rc = ASN_BAD_TAG;
        if (rc == ASN_TRUNCATED || rc == ASN_BAD_TAG) {
            if (!child->is_optional() || (rc == ASN_TRUNCATED && !reader.at_end())) return rc;
            child->reset();
            continue;
        }
        if (rc == ASN_OK) rc = child->decode(reader, depth + 1);
        if (rc != ASN_OK) return rc;
    }
    return reader.at_end() ? ASN_OK : ASN_TRAILING_DATA;
}

int asn_composite::encode_content(buffer_t& out) const {
    for (const asn_object* child : children_) {
        if (child->is_optional() && !child->is_present()) continue;
        int rc = child->write(out);
        if (rc != ASN_OK) return rc;
    }
    return ASN_OK;
}
