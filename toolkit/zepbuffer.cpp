#include "zepbuffer.h"

#include <cstring>
#include <iomanip>
#include <ostream>

#include "zepstring.h"

void zep_wipe(void* bytes, size_t length) {
    // Volatile stores are not removed by the optimiser as dead writes.
    volatile unsigned char* p = static_cast<volatile unsigned char*>(bytes);
    while (length--) *p++ = 0;
}

ZEPBuffer::ZEPBuffer(size_t length, const void* bytes) { assign(length, bytes); }

ZEPBuffer::ZEPBuffer(const ZEPString& text) { assign(text.size(), text.c_str()); }

ZEPBuffer::ZEPBuffer(const r_buffer_t& view) { assign(view.len, view.data); }

ZEPBuffer& ZEPBuffer::assign(size_t length, const void* bytes) {
    clear();
    return append(length, bytes);
}

ZEPBuffer& ZEPBuffer::append(size_t length, const void* bytes) {
    if (length == 0) return *this;
    size_t old = bytes_.size();
    if (bytes && bytes_.data() && static_cast<const unsigned char*>(bytes) >= bytes_.data() &&
        static_cast<const unsigned char*>(bytes) < bytes_.data() + old) {
        // Appending a part of this buffer: copy it first, growth may move it.
        ZEPBuffer copy(length, bytes);
        return append(copy);
    }
    bytes_.resize(old + length);
    if (bytes) std::memcpy(bytes_.data() + old, bytes, length);
    return *this;
}

ZEPBuffer& ZEPBuffer::append(const ZEPBuffer& other) {
    if (&other == this) {
        ZEPBuffer copy(other);
        return append(copy.getLength(), copy.getValue());
    }
    return append(other.getLength(), other.getValue());
}

void ZEPBuffer::clear() {
    zep_wipe(bytes_.data(), bytes_.size());
    bytes_.clear();
}

r_buffer_t ZEPBuffer::get() const {
    r_buffer_t view;
    view.data = getValue();
    view.len = static_cast<unsigned int>(bytes_.size());
    return view;
}

std::ostream& operator<<(std::ostream& out, const ZEPBuffer& buffer) {
    std::ios_base::fmtflags flags = out.flags();
    char fill = out.fill();
    const unsigned char* bytes = buffer.getValue();
    for (size_t i = 0; i < buffer.getLength(); ++i) {
        if (i) out << ' ';
        out << std::hex << std::setw(2) << std::setfill('0') << static_cast<unsigned>(bytes[i]);
    }
    out.flags(flags);
    out.fill(fill);
    return out;
}
