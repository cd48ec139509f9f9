// SHA-256 message digest (FIPS 180-4), computed incrementally.
#ifndef MERVIL_ZEPSHA256_H
#define MERVIL_ZEPSHA256_H

#include "kry/zepblockdigest.h"

class ZEPSHA256 : public ZEPBlockDigest<ZEPSHA256, uint32_t, 8, zepdigest::ByteOrder::BigEndian> {
private:
    friend ZEPBlockDigest;
    // SHA-224 compresses as SHA-256 does.
    friend class ZEPSHA224;

    static constexpr uint32_t INITIAL_STATE[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                  0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    static void compress(uint32_t (&state)[8], const unsigned char* blocks, size_t count);
};

#endif
