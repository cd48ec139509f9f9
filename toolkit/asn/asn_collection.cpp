#include "asn/asn_collection.h"

#include <algorithm>
#include <typeinfo>

namespace {

// DER order of SET OF elements: encodings compared as octet strings, the
// shorter one padded with zeros.
bool der_less(const unsigned char* left, size_t leftLength, const unsigned char* right, size_t rightLength) {
    size_t common = std::min(leftLength, rightLength);
    for (size_t i = 0; i < common; ++i)
        if (left[i] != right[i]) return left[i] < right[i];
    for (size_t i = common; i < rightLength; ++i)
        if (right[i] != 0) return true;
    return false;
}

}  // namespace

int asn_collection::assign(const asn_object& other) {
    if (typeid(other) != typeid(*this)) return ASN_BAD_ARGUMENT;
    const asn_collection& source = static_cast<const asn_collection&>(other);
    std::vector<std::unique_ptr<asn_object>> copies;
    for (const auto& element : source.elements_) {
        copies.push_back(make_element());
        int rc = copies.back()->assign(*element);
        if (rc != ASN_OK) return rc;
    }
    elements_.swap(copies);
    assign_state(other);
    return ASN_OK;
}

void asn_collection::reset() {
    asn_object::reset();
    elements_.clear();
}

asn_object& asn_collection::add_element() {
    elements_.push_back(make_element());
    set_present(true);
    return *elements_.back();
}

int asn_collection::decode_content(const der_tlv& tlv, unsigned depth) {
    der_reader reader(tlv.content, tlv.length);
    const unsigned char* previous = nullptr;
    size_t previousLength = 0;
    while (!reader.at_end()) {
        const unsigned char* start = reader.position();
        std::unique_ptr<asn_object> element = make_element();
        int rc = element->decode(reader, depth + 1);
        if (rc != ASN_OK) return rc;
        size_t length = static_cast<size_t>(reader.position() - start);
        if (sorted_ && previous && der_less(start, length, previous, previousLength)) return ASN_NOT_DER;
        previous = start;
        previousLength = length;
        elements_.push_back(std::move(element));
    }
    return ASN_OK;
}

int asn_collection::encode_content(buffer_t& out) const {
    std::vector<buffer_t> encodings(elements_.size());
    for (size_t i = 0; i < elements_.size(); ++i) {
        int rc = elements_[i]->write(encodings[i]);
        if (rc != ASN_OK) return rc;
    }
    if (sorted_)
        std::sort(encodings.begin(), encodings.end(), [](const buffer_t& left, const buffer_t& right) {
            return der_less(left.data(), left.size(), right.data(), right.size());
        });
    for (const buffer_t& encoding : encodings) out.append(encoding);
    return ASN_OK;
}
