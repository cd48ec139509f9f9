#include "asn/zepbase64.h"

#include "asn/buffer_t.h"

namespace {

const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int digit_value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string ZEPBase64::encode(const ZEPBuffer& bytes, size_t lineLength) {
    std::string text;
    const unsigned char* p = bytes.getValue();
    size_t length = bytes.getLength();
    for (size_t i = 0; i < length; i += 3) {
        unsigned long group = static_cast<unsigned long>(p[i]) << 16;
        if (i + 1 < length) group |= static_cast<unsigned long>(p[i + 1]) << 8;
        if (i + 2 < length) group |= p[i + 2];
        if (lineLength && i && (i / 3 * 4) % lineLength == 0) text += '\n';
        for (size_t k = 0; k < 4; ++k)
            text += k <= (length - i) ? alphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return text;
}

bool ZEPBase64::decode(std::string_view text, ZEPBuffer& bytes) {
    buffer_t out;
    unsigned long group = 0;
    size_t digits = 0, padding = 0;
    for (char c : text) {
        if (is_blank(c)) continue;
        if (c == '=') {
            if (digits < 2) return false;
            ++padding;
            ++digits;
        } else {
            int value = digit_value(c);
            if (value < 0 || padding) return false;
            group = (group << 6) | static_cast<unsigned long>(value);
            ++digits;
        }
        if (digits == 4) {
            group <<= 6 * padding;
            if ((group & ((1UL << (8 * padding)) - 1)) != 0) return false;
            for (size_t k = 0; k < 3 - padding; ++k) out.push_back(static_cast<unsigned char>(group >> (16 - 8 * k)));
            if (padding) {
                digits = 5;  // nothing may follow padding
                continue;
            }
            group = 0;
            digits = 0;
        } else if (digits > 4) {
            return false;
        }
    }
    if (digits != 0 && digits != 5) return false;
    bytes = out.to_buffer();
    return true;
}
