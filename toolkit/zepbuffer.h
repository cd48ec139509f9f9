// Owned byte strings and read-only byte views of the toolkit.
#ifndef MERVIL_ZEPBUFFER_H
#define MERVIL_ZEPBUFFER_H

#include <cstddef>
#include <iosfwd>
#include <vector>

#include "zepallocator.h"

class ZEPString;

// A read-only view of bytes owned elsewhere.
struct r_buffer_t {
    const unsigned char* data = nullptr;
    unsigned int len = 0;
};

// Owned bytes. Storage is wiped before it is released, so PINs and key
// material held in buffers do not linger in freed memory.
class ZEPBuffer {
public:
    ZEPBuffer() = default;
    // `length` bytes copied from `bytes`, or zero bytes when `bytes` is null.
    ZEPBuffer(size_t length, const void* bytes);
    ZEPBuffer(const ZEPString& text);
    ZEPBuffer(const r_buffer_t& view);

    ZEPBuffer& assign(size_t length, const void* bytes);
    ZEPBuffer& append(size_t length, const void* bytes);
    ZEPBuffer& append(const ZEPBuffer& other);
    void clear();

    // Null when the buffer is empty.
    unsigned char* getValue() { return bytes_.empty() ? nullptr : bytes_.data(); }
    const unsigned char* getValue() const { return bytes_.empty() ? nullptr : bytes_.data(); }
    size_t getLength() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    r_buffer_t get() const;

    bool operator==(const ZEPBuffer& other) const { return bytes_ == other.bytes_; }
    bool operator!=(const ZEPBuffer& other) const { return bytes_ != other.bytes_; }

private:
    std::vector<unsigned char, ZEPWipingAllocator<unsigned char>> bytes_;
};

// Lower-case hexadecimal bytes separated by blanks, for instance "30 82 01 0a".
std::ostream& operator<<(std::ostream& out, const ZEPBuffer& buffer);

#endif
