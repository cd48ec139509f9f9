// The growable byte buffer DER writers append to. Its storage is wiped
// before release, like ZEPBuffer's, since encodings may hold key material.
#ifndef MERVIL_ASN_BUFFER_T_H
#define MERVIL_ASN_BUFFER_T_H

#include <cstddef>
#include <vector>

#include "zepallocator.h"
#include "zepbuffer.h"

using asn_bytes = std::vector<unsigned char, ZEPWipingAllocator<unsigned char>>;

class buffer_t {
public:
    buffer_t() = default;
    buffer_t(const ZEPBuffer& bytes) : bytes_(bytes.getValue(), bytes.getValue() + bytes.getLength()) {}
    buffer_t(const r_buffer_t& view) : bytes_(view.data, view.data + view.len) {}

    void append(const void* bytes, size_t length);
    void append(const buffer_t& other) { append(other.data(), other.size()); }
    void push_back(unsigned char byte) { bytes_.push_back(byte); }
    void clear();

    const unsigned char* data() const { return bytes_.data(); }
    size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    r_buffer_t view() const;
    ZEPBuffer to_buffer() const { return ZEPBuffer(bytes_.size(), bytes_.data()); }
    const asn_bytes& bytes() const { return bytes_; }

    bool operator==(const buffer_t& other) const { return bytes_ == other.bytes_; }

private:
    asn_bytes bytes_;
};

#endif
