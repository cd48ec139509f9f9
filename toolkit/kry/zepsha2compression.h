// The compression function of the SHA-2 digests (FIPS 180-4, 6.2.2 and
// 6.4.2). SHA-224 and SHA-256 run it over 32-bit words in 64 rounds,
// SHA-384 and SHA-512 over 64-bit words in 80 rounds; the steps are the
// same, the rotation amounts and the round constants are the word size's.
#ifndef MERVIL_ZEPSHA2COMPRESSION_H
#define MERVIL_ZEPSHA2COMPRESSION_H

#include <bit>
#include <cstddef>

#include "kry/zepblockdigest.h"

// `Parameters` gives the `Word` type, the rotations `SUM0`, `SUM1` of the
// working variables a and e, the rotations and shift `SIGMA0`, `SIGMA1` of
// the message schedule, and the round `CONSTANTS`.
template <typename Parameters>
class ZEPSHA2Compression {
public:
    using Word = typename Parameters::Word;
    static constexpr size_t ROUNDS = std::size(Parameters::CONSTANTS);
    static constexpr size_t BLOCK_LENGTH = 16 * sizeof(Word);

    static void compress(Word (&state)[8], const unsigned char* blocks, size_t count) {
        for (; count > 0; --count, blocks += BLOCK_LENGTH) {
            Word schedule[ROUNDS];
            for (size_t t = 0; t < 16; ++t) schedule[t] = zepdigest::loadBigEndian<Word>(blocks + sizeof(Word) * t);
            for (size_t t = 16; t < ROUNDS; ++t)
                schedule[t] = sigma(Parameters::SIGMA1, schedule[t - 2]) + schedule[t - 7] +
                              sigma(Parameters::SIGMA0, schedule[t - 15]) + schedule[t - 16];

            Word a = state[0], b = state[1], c = state[2], d = state[3];
            Word e = state[4], f = state[5], g = state[6], h = state[7];
            for (size_t t = 0; t < ROUNDS; ++t) {
                const Word choose = (e & f) ^ (~e & g);
                const Word majority = (a & b) ^ (a & c) ^ (b & c);
                const Word t1 = h + sum(Parameters::SUM1, e) + choose + Parameters::CONSTANTS[t] + schedule[t];
                const Word t2 = sum(Parameters::SUM0, a) + majority;
                h = g, g = f, f = e, e = d + t1;
                d = c, c = b, b = a, a = t1 + t2;
            }
            state[0] += a, state[1] += b, state[2] += c, state[3] += d;
            state[4] += e, state[5] += f, state[6] += g, state[7] += h;
        }
    }

private:
    static Word sum(const int (&rotations)[3], Word x) {
        return std::rotr(x, rotations[0]) ^ std::rotr(x, rotations[1]) ^ std::rotr(x, rotations[2]);
    }
    // Two rotations and a shift.
    static Word sigma(const int (&amounts)[3], Word x) {
        return std::rotr(x, amounts[0]) ^ std::rotr(x, amounts[1]) ^ (x >> amounts[2]);
    }
};

#endif
