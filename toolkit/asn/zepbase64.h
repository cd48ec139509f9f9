// Base64 (RFC 4648, standard alphabet, with padding).
#ifndef MERVIL_ZEPBASE64_H
#define MERVIL_ZEPBASE64_H

#include <string>
#include <string_view>

#include "zepbuffer.h"

class ZEPBase64 {
public:
    // Lines of `lineLength` characters (a multiple of 4) joined by '\n',
    // with no newline after the last; 0 gives one line.
    static std::string encode(const ZEPBuffer& bytes, size_t lineLength = 0);
    // Ignores ASCII white space; false on any other non-alphabet character,
    // misplaced or missing padding, or non-zero bits in the last group.
    // Reads the text where it is: PEM private keys pass through here, and
    // no copy of them is left behind.
    static bool decode(std::string_view text, ZEPBuffer& bytes);
};

#endif
