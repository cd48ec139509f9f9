#include "zeputility.h"

#include <string>

ZEPString ZEPUtility::binaryToHexString(const ZEPBuffer& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.getLength() * 2);
    const unsigned char* p = bytes.getValue();
    for (size_t i = 0; i < bytes.getLength(); ++i) {
        text += digits[p[i] >> 4];
        text += digits[p[i] & 0x0F];
    }
    return ZEPString(std::move(text));
}
