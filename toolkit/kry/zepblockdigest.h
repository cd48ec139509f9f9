// The part shared by MD5, SHA-1 and SHA-2: state words updated by a
// compression function over blocks of 16 words, the last block padded with
// 0x80, zeros and the message length in bits. MD5, SHA-1, SHA-224 and
// SHA-256 have 32-bit words, 64-byte blocks and an 8-byte length; SHA-384
// and SHA-512 64-bit words, 128-byte blocks and a 16-byte length. Besides
// that they differ in the compression function, the initial state, the
// byte order of the length and of the digest, and how many state words
// make the digest.
#ifndef MERVIL_ZEPBLOCKDIGEST_H
#define MERVIL_ZEPBLOCKDIGEST_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "zepallocator.h"
#include "zepbuffer.h"

namespace zepdigest {

enum class ByteOrder { BigEndian, LittleEndian };

inline uint32_t rotateLeft(uint32_t value, unsigned int count) { return (value << count) | (value >> (32 - count)); }

// Byte order conversions by shifts, so the results do not depend on the
// byte order of the machine.
template <typename Word>
Word loadBigEndian(const unsigned char* bytes) {
    Word value = 0;
    for (size_t i = 0; i < sizeof(Word); ++i) value = value << 8 | bytes[i];
    return value;
}

inline uint32_t loadLittleEndian32(const unsigned char* bytes) {
    return uint32_t(bytes[3]) << 24 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[1]) << 8 | bytes[0];
}

// The low `count` bytes of value.
inline void store(ByteOrder order, uint64_t value, unsigned char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i, value >>= 8)
        bytes[order == ByteOrder::BigEndian ? count - 1 - i : i] = static_cast<unsigned char>(value);
}

}  // namespace zepdigest

// Base of a digest class `Algorithm` (the curiously recurring template
// pattern), which provides `INITIAL_STATE` and
// `compress(Word (&state)[StateWords], const unsigned char* blocks, size_t blockCount)`.
// The digest is the first DigestWords words of the state. Complete blocks
// of the caller's data are compressed in place, without copying. The
// partial block is wiped when a message ends and on destruction.
template <typename Algorithm, typename Word, size_t StateWords, zepdigest::ByteOrder Order,
          size_t DigestWords = StateWords>
class ZEPBlockDigest {
public:
    static constexpr size_t BLOCK_LENGTH = 16 * sizeof(Word);
    static constexpr size_t DIGEST_LENGTH = sizeof(Word) * DigestWords;

    ZEPBlockDigest() { start(); }
    ZEPBlockDigest(const ZEPBlockDigest&) = default;
    ZEPBlockDigest& operator=(const ZEPBlockDigest&) = default;
    ~ZEPBlockDigest() { zep_wipe(block_, sizeof block_); }

    void update(const void* data, size_t length) {
        if (length == 0) return;  // data may then be null
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        messageLength_ += length;
        if (used_ > 0) {
            size_t taken = std::min(length, BLOCK_LENGTH - used_);
            std::memcpy(block_ + used_, bytes, taken);
            used_ += taken;
            bytes += taken;
            length -= taken;
            if (used_ < BLOCK_LENGTH) return;
            Algorithm::compress(state_, block_, 1);
            used_ = 0;
        }
        if (length >= BLOCK_LENGTH) {
            Algorithm::compress(state_, bytes, length / BLOCK_LENGTH);
            bytes += length - length % BLOCK_LENGTH;
            length %= BLOCK_LENGTH;
        }
        if (length > 0) std::memcpy(block_, bytes, length);
        used_ = length;
    }

    // The digest of everything passed to update() since construction or the
    // previous final(); the object then starts over with an empty message.
    // The bit length is taken modulo 2^64: the upper half of a 16-byte
    // length stays zero, as it does for every message shorter than 2^61
    // bytes.
    ZEPBuffer final() {
        block_[used_++] = 0x80;
        if (used_ > BLOCK_LENGTH - LENGTH_FIELD) {
            std::memset(block_ + used_, 0, BLOCK_LENGTH - used_);
            Algorithm::compress(state_, block_, 1);
            used_ = 0;
        }
        std::memset(block_ + used_, 0, BLOCK_LENGTH - 8 - used_);
        zepdigest::store(Order, messageLength_ << 3, block_ + BLOCK_LENGTH - 8, 8);
        Algorithm::compress(state_, block_, 1);

        unsigned char bytes[DIGEST_LENGTH];
        for (size_t i = 0; i < DigestWords; ++i)
            zepdigest::store(Order, state_[i], bytes + sizeof(Word) * i, sizeof(Word));
        start();
        return ZEPBuffer(sizeof bytes, bytes);
    }

    static ZEPBuffer digest(const ZEPBuffer& data) {
        Algorithm algorithm;
        algorithm.update(data.getValue(), data.getLength());
        return algorithm.final();
    }

private:
    static constexpr size_t LENGTH_FIELD = 2 * sizeof(Word);

    void start() {
        std::copy(std::begin(Algorithm::INITIAL_STATE), std::end(Algorithm::INITIAL_STATE), state_);
        zep_wipe(block_, sizeof block_);
        used_ = 0;
        messageLength_ = 0;
    }

    Word state_[StateWords];
    unsigned char block_[BLOCK_LENGTH];
    size_t used_;
    uint64_t messageLength_;
};

#endif
