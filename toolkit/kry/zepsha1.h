// SHA-1 message digest (FIPS 180-4), computed incrementally.
#ifndef MERVIL_ZEPSHA1_H
#define MERVIL_ZEPSHA1_H

#include "kry/zepblockdigest.h"

class ZEPSHA1 : public ZEPBlockDigest<ZEPSHA1, uint32_t, 5, zepdigest::ByteOrder::BigEndian> {
private:
    friend ZEPBlockDigest;

    static constexpr uint32_t INITIAL_STATE[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    static void compress(uint32_t (&state)[5], const unsigned char* blocks, size_t count);
};

#endif
