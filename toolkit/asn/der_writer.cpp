#include "asn/der_writer.h"

void der_append_header(buffer_t& out, int cls, bool constructed, unsigned long tag, size_t length) {
    unsigned char identifier = static_cast<unsigned char>((cls & 0xC0) | (constructed ? 0x20 : 0));
    if (tag < 0x1F) {
        out.push_back(static_cast<unsigned char>(identifier | tag));
    } else {
        out.push_back(identifier | 0x1F);
        int shift = 28;
        while (shift > 0 && (tag >> shift) == 0) shift -= 7;
        for (; shift > 0; shift -= 7) out.push_back(static_cast<unsigned char>(0x80 | ((tag >> shift) & 0x7F)));
        out.push_back(static_cast<unsigned char>(tag & 0x7F));
    }
    if (length < 0x80) {
        out.push_back(static_cast<unsigned char>(length));
        return;
    }
    unsigned char octets[sizeof(size_t)];
    int count = 0;
    for (size_t rest = length; rest != 0; rest >>= 8) octets[count++] = static_cast<unsigned char>(rest & 0xFF);
    out.push_back(static_cast<unsigned char>(0x80 | count));
    while (count > 0) out.push_back(octets[--count]);
}
