// A constructed type with a fixed list of children, in order (SEQUENCE).
// Structures derive from it, hold their children as members and register
// them in their constructor. The children are members, so the default
// copy is deleted: derived structures copy with ASN_COPYABLE, which
// re-registers their own members and copies the values child by child.
#ifndef MERVIL_ASN_COMPOSITE_H
#define MERVIL_ASN_COMPOSITE_H

#include <vector>

#include "asn/asn_object.h"

class asn_composite : public asn_object {
public:
    asn_composite(const asn_composite&) = delete;
    asn_composite& operator=(const asn_composite&) = delete;

    // Children are decoded and written in registration order; optional
    // children are skipped when their tag does not come next.
    void register_child(asn_object* child) { children_.push_back(child); }
    size_t child_count() const { return children_.size(); }

    int assign(const asn_object& other) override;
    void reset() override;

protected:
    asn_composite(unsigned long tag, int security) : asn_object(tag, true, security) {}

    int decode_content(const der_tlv& tlv, unsigned depth) override;
    int encode_content(buffer_t& out) const override;

private:
    std::vector<asn_object*> children_;
};

// Copy constructor and assignment of a structure made of registered
// member children.
#define ASN_COPYABLE(Class)                                          \
    Class(const Class& other) : Class(other.get_security()) { assign(other); } \
    Class& operator=(const Class& other) {                          \
        if (this != &other) assign(other);                          \
        return *this;                                               \
    }

#endif
