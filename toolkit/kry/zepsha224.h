// SHA-224 message digest (FIPS 180-4), computed incrementally: SHA-256 from
// another initial state, the digest the first 7 of its 8 state words.
#ifndef MERVIL_ZEPSHA224_H
#define MERVIL_ZEPSHA224_H

#include "kry/zepsha256.h"

class ZEPSHA224 : public ZEPBlockDigest<ZEPSHA224, uint32_t, 8, zepdigest::ByteOrder::BigEndian, 7> {
private:
    friend ZEPBlockDigest;

    static constexpr uint32_t INITIAL_STATE[8] = {0xc1059ed8, 0x367cd507, 0x3070dd17, 0xf70e5939,
                                                  0xffc00b31, 0x68581511, 0x64f98fa7, 0xbefa4fa4};
    static void compress(uint32_t (&state)[8], const unsigned char* blocks, size_t count) {
        ZEPSHA256::compress(state, blocks, count);
    }
};

#endif
