// SEQUENCE OF and SET OF: any number of elements of one type, owned by the
// collection. A SET OF is written with its elements in DER order (sorted
// by encoding) and refused on reading when they are not in that order.
#ifndef MERVIL_ASN_COLLECTION_H
#define MERVIL_ASN_COLLECTION_H

#include <memory>
#include <vector>

#include "asn/asn_object.h"

class asn_collection : public asn_object {
public:
    size_t size() const { return elements_.size(); }
    bool empty() const { return elements_.empty(); }
    int assign(const asn_object& other) override;
    void reset() override;

protected:
    asn_collection(unsigned long tag, bool sorted, int security)
        : asn_object(tag, true, security), sorted_(sorted) {}
    // Tagging and state only; the typed collection copies the elements,
    // since making them needs its make_element.
    asn_collection(const asn_collection& other) : asn_object(other), sorted_(other.sorted_) {}
    asn_collection& operator=(const asn_collection&) = delete;

    virtual std::unique_ptr<asn_object> make_element() const = 0;
    asn_object& element(size_t index) const { return *elements_.at(index); }
    asn_object& add_element();

    int decode_content(const der_tlv& tlv, unsigned depth) override;
    int encode_content(buffer_t& out) const override;

private:
    bool sorted_;
    std::vector<std::unique_ptr<asn_object>> elements_;
};

template <typename T, unsigned long Tag>
class asn_collection_of : public asn_collection {
public:
    explicit asn_collection_of(int security = 0) : asn_collection(Tag, Tag == 17, security) {}
    asn_collection_of(const asn_collection_of& other) : asn_collection(other) { assign(other); }
    asn_collection_of& operator=(const asn_collection_of& other) {
        if (this != &other) assign(other);
        return *this;
    }

    T& at(size_t index) const { return static_cast<T&>(element(index)); }
    // A new element at the end, made with the collection's security flag.
    T& add() { return static_cast<T&>(add_element()); }

protected:
    std::unique_ptr<asn_object> make_element() const override { return std::make_unique<T>(get_security()); }
};

template <typename T>
using asn_sequence_of = asn_collection_of<T, 16>;
template <typename T>
using asn_set_of = asn_collection_of<T, 17>;

#endif
