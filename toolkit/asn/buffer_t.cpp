#include "asn/buffer_t.h"

void buffer_t::append(const void* bytes, size_t length) {
    if (length == 0) return;
    const unsigned char* first = static_cast<const unsigned char*>(bytes);
    if (!bytes_.empty() && first >= bytes_.data() && first < bytes_.data() + bytes_.size()) {
        // A part of this buffer: copy it first, growth may move it.
        asn_bytes copy(first, first + length);
        bytes_.insert(bytes_.end(), copy.begin(), copy.end());
        return;
    }
    bytes_.insert(bytes_.end(), first, first + length);
}

void buffer_t::clear() {
    zep_wipe(bytes_.data(), bytes_.size());
    bytes_.clear();
}

r_buffer_t buffer_t::view() const {
    r_buffer_t result;
    result.data = bytes_.data();
    result.len = static_cast<unsigned int>(bytes_.size());
    return result;
}
