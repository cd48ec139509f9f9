// SHA-512 message digest (FIPS 180-4), computed incrementally.
#ifndef MERVIL_ZEPSHA512_H
#define MERVIL_ZEPSHA512_H

#include "kry/zepblockdigest.h"

class ZEPSHA512 : public ZEPBlockDigest<ZEPSHA512, uint64_t, 8, zepdigest::ByteOrder::BigEndian> {
private:
    friend ZEPBlockDigest;
    // SHA-384 compresses as SHA-512 does.
    friend class ZEPSHA384;

    static constexpr uint64_t INITIAL_STATE[8] = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b,
                                                  0xa54ff53a5f1d36f1, 0x510e527fade682d1, 0x9b05688c2b3e6c1f,
                                                  0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};
    static void compress(uint64_t (&state)[8], const unsigned char* blocks, size_t count);
};

#endif
