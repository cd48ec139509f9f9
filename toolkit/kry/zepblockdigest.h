// The part shared by SHA-1 and MD5: 32-bit state words updated by a
// compression function over 64-byte blocks, the last block padded with
// 0x80, zeros and the 64-bit message length in bits. The two differ only in
// the compression function, the initial state and the byte order of the
// length and of the digest.
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
inline uint32_t loadBigEndian32(const unsigned char* bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
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
// `compress(uint32_t (&state)[StateWords], const unsigned char* blocks, size_t blockCount)`.
// Complete blocks of the caller's data are compressed in place, without
// copying. The partial block is wiped when a message ends and on destruction.
template <typename Algorithm, size_t StateWords, zepdigest::ByteOrder Order>
class ZEPBlockDigest {
public:
    static constexpr size_t BLOCK_LENGTH = 64;
    static constexpr size_t DIGEST_LENGTH = 4 * StateWords;

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
    // The bit length is taken modulo 2^64.
    ZEPBuffer final() {
        block_[used_++] = 0x80;
        if (used_ > BLOCK_LENGTH - 8) {
            std::memset(block_ + used_, 0, BLOCK_LENGTH - used_);
            Algorithm::compress(state_, block_, 1);
            used_ = 0;
        }
        std::memset(block_ + used_, 0, BLOCK_LENGTH - 8 - used_);
        zepdigest::store(Order, messageLength_ << 3, block_ + BLOCK_LENGTH - 8, 8);
        Algorithm::compress(state_, block_, 1);

        unsigned char bytes[DIGEST_LENGTH];
        for (size_t i = 0; i < StateWords; ++i) zepdigest::store(Order, state_[i], bytes + 4 * i, 4);
        start();
        return ZEPBuffer(sizeof bytes, bytes);
    }

    static ZEPBuffer digest(const ZEPBuffer& data) {
        Algorithm algorithm;
        algorithm.update(data.getValue(), data.getLength());
        return algorithm.final();
    }

private:
    void start() {
        std::copy(std::begin(Algorithm::INITIAL_STATE), std::end(Algorithm::INITIAL_STATE), state_);
        zep_wipe(block_, sizeof block_);
        used_ = 0;
        messageLength_ = 0;
    }

    uint32_t state_[StateWords];
    unsigned char block_[BLOCK_LENGTH];
    size_t used_;
    uint64_t messageLength_;
};

#endif
