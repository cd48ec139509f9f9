// SHA-384 message digest (FIPS 180-4), computed incrementally: SHA-512 from
// another initial state, the digest the first 6 of its 8 state words.
#ifndef MERVIL_ZEPSHA384_H
#define MERVIL_ZEPSHA384_H

#include "kry/zepsha512.h"

class ZEPSHA384 : public ZEPBlockDigest<ZEPSHA384, uint64_t, 8, zepdigest::ByteOrder::BigEndian, 6> {
private:
    friend ZEPBlockDigest;

    static constexpr uint64_t INITIAL_STATE[8] = {0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17,
                                                  0x152fecd8f70e5939, 0x67332667ffc00b31, 0x8eb44a8768581511,
                                                  0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4};
    static void compress(uint64_t (&state)[8], const unsigned char* blocks, size_t count) {
        ZEPSHA512::compress(state, blocks, count);
    }
};

#endif
