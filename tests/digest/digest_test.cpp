// SHA-1 and MD5 checked against the openssl command line tool.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "kry/zepmd5.h"
#include "kry/zepsha1.h"

namespace {

struct SHA1 {
    using Digest = ZEPSHA1;
    static constexpr const char* name = "sha1";
};
struct MD5 {
    using Digest = ZEPMD5;
    static constexpr const char* name = "md5";
};

std::string commandOutput(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string output;
    char chunk[1 << 16];
    for (size_t n; pipe && (n = fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) output.append(chunk, n);
    return output;
}

// A shell command writing `length` pseudo-random bytes, the same each time.
std::string randomBytes(size_t length) {
    return "openssl enc -aes-128-ctr -K 000102030405060708090a0b0c0d0e0f -iv 0 -in /dev/zero 2>/dev/null | head -c " +
           std::to_string(length);
}

std::string opensslDigest(const std::string& source, const char* algorithm) {
    std::string line = commandOutput(source + " | openssl dgst -" + algorithm + " -r");
    return line.substr(0, line.find(' '));
}

std::string hex(const ZEPBuffer& buffer) {
    std::ostringstream out;
    out << buffer;
    std::string text = out.str();
    std::erase(text, ' ');
    return text;
}

template <typename Algorithm>
class DigestTest : public testing::Test {};
using Algorithms = testing::Types<SHA1, MD5>;
TYPED_TEST_SUITE(DigestTest, Algorithms);

// Lengths around the 55/56 and 64 byte padding boundaries, and many blocks;
// each digested at once and in odd-sized pieces.
TYPED_TEST(DigestTest, MatchesOpenSSL) {
    const size_t pieces[] = {1, 0, 3, 63, 64, 65, 127, 1000, 7};
    typename TypeParam::Digest incremental;  // reused: final() starts the next message
    for (size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 1 << 20}) {
        std::string bytes = commandOutput(randomBytes(length));
        ASSERT_EQ(bytes.size(), length);
        const std::string expected = opensslDigest(randomBytes(length), TypeParam::name);
        EXPECT_EQ(hex(TypeParam::Digest::digest(ZEPBuffer(bytes.size(), bytes.data()))), expected) << length;
        for (size_t offset = 0, i = 0; offset < length; ++i) {
            size_t piece = std::min(pieces[i % std::size(pieces)], length - offset);
            incremental.update(bytes.data() + offset, piece);
            offset += piece;
        }
        EXPECT_EQ(hex(incremental.final()), expected) << length << " bytes in pieces";
    }
}

// 513 MiB: the message length in bits needs more than 32 bits.
TYPED_TEST(DigestTest, LengthBeyond32BitBitCount) {
    const std::string zeros(1 << 20, '\0');
    const size_t megabytes = 513;
    typename TypeParam::Digest digest;
    for (size_t i = 0; i < megabytes; ++i) digest.update(zeros.data(), zeros.size());
    EXPECT_EQ(hex(digest.final()),
              opensslDigest("head -c " + std::to_string(megabytes << 20) + " /dev/zero", TypeParam::name));
}

}  // namespace
