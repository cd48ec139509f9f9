#include "kry/zepmd5.h"

using namespace zepdigest;

namespace {

// floor(abs(sin(i + 1)) * 2^32) for the 64 steps.
constexpr uint32_t STEP_CONSTANTS[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

// The steps of one round: each round has its own function, rotation
// amounts and order of message words (word = (first + stride * step) % 16).
struct RoundLayout {
    unsigned int shifts[4];
    unsigned int first;
    unsigned int stride;
};

template <typename Function>
void md5Round(uint32_t (&v)[4], const uint32_t* words, const uint32_t* constants, const RoundLayout& layout,
              Function f) {
    auto word = [&](unsigned int step) { return words[(layout.first + layout.stride * step) % 16]; };
    const unsigned int* s = layout.shifts;
    uint32_t a = v[0], b = v[1], c = v[2], d = v[3];
    for (unsigned int i = 0; i < 16; i += 4) {
        a = b + rotateLeft(a + f(b, c, d) + word(i) + constants[i], s[0]);
        d = a + rotateLeft(d + f(a, b, c) + word(i + 1) + constants[i + 1], s[1]);
        c = d + rotateLeft(c + f(d, a, b) + word(i + 2) + constants[i + 2], s[2]);
        b = c + rotateLeft(b + f(c, d, a) + word(i + 3) + constants[i + 3], s[3]);
    }
    v[0] = a, v[1] = b, v[2] = c, v[3] = d;
}

}  // namespace

void ZEPMD5::compress(uint32_t (&state)[4], const unsigned char* blocks, size_t count) {
    static constexpr RoundLayout layouts[4] = {
        {{7, 12, 17, 22}, 0, 1}, {{5, 9, 14, 20}, 1, 5}, {{4, 11, 16, 23}, 5, 3}, {{6, 10, 15, 21}, 0, 7}};
    for (; count > 0; --count, blocks += BLOCK_LENGTH) {
        uint32_t words[16];
        for (int i = 0; i < 16; ++i) words[i] = loadLittleEndian32(blocks + 4 * i);

        uint32_t v[4] = {state[0], state[1], state[2], state[3]};
        md5Round(v, words, STEP_CONSTANTS, layouts[0],
                 [](uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); });
        md5Round(v, words, STEP_CONSTANTS + 16, layouts[1],
                 [](uint32_t x, uint32_t y, uint32_t z) { return (x & z) | (y & ~z); });
        md5Round(v, words, STEP_CONSTANTS + 32, layouts[2],
                 [](uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; });
        md5Round(v, words, STEP_CONSTANTS + 48, layouts[3],
                 [](uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); });
        for (int i = 0; i < 4; ++i) state[i] += v[i];
    }
}
