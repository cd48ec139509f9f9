// MD5, SHA-1 and SHA-2 checked against the openssl command line tool.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "kry/zepmd5.h"
#include "kry/zepsha1.h"
#include "kry/zepsha224.h"
#include "kry/zepsha384.h"

namespace {

struct SHA1 {
    using Digest = ZEPSHA1;
    static constexpr const char* name = "sha1";
};
struct MD5 {
    using Digest = ZEPMD5;
    static constexpr const char* name = "md5";
};
struct SHA224 {
    using Digest = ZEPSHA224;
    static constexpr const char* name = "sha224";
    static constexpr bool truncated = true;
};
struct SHA256 {
    using Digest = ZEPSHA256;
    static constexpr const char* name = "sha256";
};
struct SHA384 {
    using Digest = ZEPSHA384;
    static constexpr const char* name = "sha384";
    static constexpr bool truncated = true;
};
struct SHA512 {
    using Digest = ZEPSHA512;
    static constexpr const char* name = "sha512";
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
using Algorithms = testing::Types<SHA1, MD5, SHA224, SHA256, SHA384, SHA512>;
TYPED_TEST_SUITE(DigestTest, Algorithms);

// Lengths around the padding boundaries of 64-byte blocks (55/56, 64) and
// of 128-byte blocks (111/112, 128), and many blocks; each digested at once
// and in odd-sized pieces.
TYPED_TEST(DigestTest, MatchesOpenSSL) {
    const size_t pieces[] = {1, 0, 3, 63, 64, 65, 127, 1000, 7};
    typename TypeParam::Digest incremental;  // reused: final() starts the next message
    for (size_t length : {0, 1, 55, 56, 63, 64, 65, 111, 112, 119, 120, 127, 128, 239, 240, 1 << 20}) {
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

// The example messages of FIPS 180: "abc", the 448-bit and the 896-bit
// message, and a million times "a".
TYPED_TEST(DigestTest, ExampleMessagesMatchOpenSSL) {
    for (const std::string source :
         {"printf abc", "printf abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
          "printf abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrs"
          "tnopqrstu",
          "head -c 1000000 /dev/zero | tr '\\0' a"}) {
        const std::string message = commandOutput(source);
        EXPECT_EQ(hex(TypeParam::Digest::digest(ZEPBuffer(message.size(), message.data()))),
                  opensslDigest(source, TypeParam::name))
            << source;
    }
}

// 513 MiB: the message length in bits needs more than 32 bits. SHA-224 and
// SHA-384 count and pad as SHA-256 and SHA-512 do, so only those digest it.
TYPED_TEST(DigestTest, LengthBeyond32BitBitCount) {
    if constexpr (requires { TypeParam::truncated; }) GTEST_SKIP() << "counted as by its untruncated digest";
    const std::string zeros(1 << 20, '\0');
    const size_t megabytes = 513;
    typename TypeParam::Digest digest;
    for (size_t i = 0; i < megabytes; ++i) digest.update(zeros.data(), zeros.size());
    EXPECT_EQ(hex(digest.final()),
              opensslDigest("head -c " + std::to_string(megabytes << 20) + " /dev/zero", TypeParam::name));
}

}  // namespace
