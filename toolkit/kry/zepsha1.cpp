#include "kry/zepsha1.h"

using namespace zepdigest;

namespace {

// The message schedule of one block, computed as the steps need it over a
// ring of 16 words.
class MessageSchedule {
public:
    explicit MessageSchedule(const unsigned char* block) {
        for (int t = 0; t < 16; ++t) words_[t] = loadBigEndian<uint32_t>(block + 4 * t);
    }

    uint32_t operator()(int t) {
        if (t < 16) return words_[t];
        uint32_t& word = words_[t & 15];
        word = rotateLeft(words_[(t - 3) & 15] ^ words_[(t - 8) & 15] ^ words_[(t - 14) & 15] ^ word, 1);
        return word;
    }

private:
    uint32_t words_[16];
};

// One of the four groups of 20 steps, each with its own logical function
// and constant. Five steps per pass, the working variables renamed instead
// of moved: the step that would move b to c rotates b in place.
template <typename Function>
void sha1Steps(uint32_t (&v)[5], MessageSchedule& w, int first, uint32_t constant, Function f) {
    uint32_t a = v[0], b = v[1], c = v[2], d = v[3], e = v[4];
    for (int t = first; t < first + 20; t += 5) {
        e += rotateLeft(a, 5) + f(b, c, d) + constant + w(t);
        b = rotateLeft(b, 30);
        d += rotateLeft(e, 5) + f(a, b, c) + constant + w(t + 1);
        a = rotateLeft(a, 30);
        c += rotateLeft(d, 5) + f(e, a, b) + constant + w(t + 2);
        e = rotateLeft(e, 30);
        b += rotateLeft(c, 5) + f(d, e, a) + constant + w(t + 3);
        d = rotateLeft(d, 30);
        a += rotateLeft(b, 5) + f(c, d, e) + constant + w(t + 4);
        c = rotateLeft(c, 30);
    }
    v[0] = a, v[1] = b, v[2] = c, v[3] = d, v[4] = e;
}

}  // namespace

void ZEPSHA1::compress(uint32_t (&state)[5], const unsigned char* blocks, size_t count) {
    for (; count > 0; --count, blocks += BLOCK_LENGTH) {
        MessageSchedule schedule(blocks);
        auto choose = [](uint32_t b, uint32_t c, uint32_t d) { return (b & c) | (~b & d); };
        auto parity = [](uint32_t b, uint32_t c, uint32_t d) { return b ^ c ^ d; };
        auto majority = [](uint32_t b, uint32_t c, uint32_t d) { return (b & c) | (b & d) | (c & d); };
        uint32_t v[5] = {state[0], state[1], state[2], state[3], state[4]};
        sha1Steps(v, schedule, 0, 0x5A827999, choose);
        sha1Steps(v, schedule, 20, 0x6ED9EBA1, parity);
        sha1Steps(v, schedule, 40, 0x8F1BBCDC, majority);
        sha1Steps(v, schedule, 60, 0xCA62C1D6, parity);
        for (int i = 0; i < 5; ++i) state[i] += v[i];
    }
}
