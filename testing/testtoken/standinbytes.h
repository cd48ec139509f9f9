// A repeatable stream of bytes for the token's stand-in key material and random
// numbers.
#ifndef TESTTOKEN_STANDINBYTES_H
#define TESTTOKEN_STANDINBYTES_H

#include "testtoken/testtokencontrol.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace testtoken {

// splitmix64: the same seed gives the same bytes, and every call continues the stream.
class StandInBytes {
public:
    explicit StandInBytes(std::uint64_t seed) noexcept : state_(seed) {}

    AttributeValue next(std::size_t length) {
        AttributeValue bytes(length);
        for (std::size_t i = 0; i < length; i += sizeof(std::uint64_t)) {
            const std::uint64_t word = nextWord();
            std::memcpy(bytes.data() + i, &word, std::min(sizeof word, length - i));
        }
        return bytes;
    }

private:
    std::uint64_t nextWord() noexcept {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }

    std::uint64_t state_;
};

}  // namespace testtoken

#endif
