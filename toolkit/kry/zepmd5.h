// MD5 message digest (RFC 1321), computed incrementally.
#ifndef MERVIL_ZEPMD5_H
#define MERVIL_ZEPMD5_H

#include "kry/zepblockdigest.h"

class ZEPMD5 : public ZEPBlockDigest<ZEPMD5, uint32_t, 4, zepdigest::ByteOrder::LittleEndian> {
private:
    friend ZEPBlockDigest;

    static constexpr uint32_t INITIAL_STATE[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    static void compress(uint32_t (&state)[4], const unsigned char* blocks, size_t count);
};

#endif
