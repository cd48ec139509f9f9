// Strict DER tag-length-value reader over bytes owned elsewhere.
#ifndef MERVIL_ASN_DER_READER_H
#define MERVIL_ASN_DER_READER_H

#include <cstddef>

// One element as found in the input: identifier, length and where its
// header and content lie.
struct der_tlv {
    const unsigned char* start = nullptr;    // first identifier octet
    const unsigned char* content = nullptr;  // first content octet
    size_t length = 0;                       // content length
    int cls = 0;                             // class bits: 0x00, 0x40, 0x80, 0xC0
    bool constructed = false;
    unsigned long tag = 0;

    size_t total() const { return static_cast<size_t>(content - start) + length; }
};

class der_reader {
public:
    der_reader(const unsigned char* data, size_t length) : next_(data), end_(data + length) {}

    bool at_end() const { return next_ == end_; }
    // Parses the element at the current position without consuming it.
    // Refuses high tag numbers that are not minimal or exceed 28 bits,
    // indefinite and non-minimal lengths, and content past the end.
    int peek(der_tlv& tlv) const;
    // As peek, then moves past the element.
    int next(der_tlv& tlv);
    const unsigned char* position() const { return next_; }

private:
    const unsigned char* next_;
    const unsigned char* end_;
};

// Checks that bytes are one or more whole DER elements, descending into
// constructed ones (at most ASN_MAX_DEPTH below `depth`).
int der_check_elements(const unsigned char* data, size_t length, unsigned depth);

#endif
