// SHA-1 and MD5 checked against the openssl command line tool.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

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

std::vector<unsigned char> randomBytes(size_t length) {
    std::mt19937 generator(static_cast<std::mt19937::result_type>(length));
    std::vector<unsigned char> bytes(length);
    for (auto& byte : bytes) byte = static_cast<unsigned char>(generator());
    return bytes;
}

std::string hex(const ZEPBuffer& buffer) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < buffer.getLength(); ++i) {
        text += digits[buffer.getValue()[i] >> 4];
        text += digits[buffer.getValue()[i] & 15];
    }
    return text;
}

// The hexadecimal digest that openssl computes of what `source` (a shell
// command) writes to its standard output.
std::string opensslDigest(const std::string& source, const char* algorithm) {
    std::string command = source + " | openssl dgst -" + algorithm + " -r";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return "popen failed";
    char line[256] = {};
    if (!fgets(line, sizeof line, pipe.get())) return "no output from: " + command;
    std::string text(line);
    return text.substr(0, text.find(' '));
}

// A file holding the given bytes, removed when it goes out of scope.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::vector<unsigned char>& bytes) {
        int descriptor = mkstemp(path_);
        EXPECT_NE(descriptor, -1);
        FILE* file = fdopen(descriptor, "wb");
        EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
        fclose(file);
    }
    ~TemporaryFile() { unlink(path_); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    std::string path() const { return path_; }

private:
    char path_[32] = "/tmp/digesttestXXXXXX";
};

template <typename Algorithm>
class DigestTest : public testing::Test {};
using Algorithms = testing::Types<SHA1, MD5>;
TYPED_TEST_SUITE(DigestTest, Algorithms);

// Lengths around the 55/56 and 64 byte padding boundaries, and many blocks.
TYPED_TEST(DigestTest, MatchesOpenSSL) {
    for (size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 1 << 20}) {
        std::vector<unsigned char> bytes = randomBytes(length);
        TemporaryFile file(bytes);
        EXPECT_EQ(hex(TypeParam::Digest::digest(ZEPBuffer(bytes.size(), bytes.data()))),
                  opensslDigest("cat " + file.path(), TypeParam::name))
            << length << " bytes";
    }
}

TYPED_TEST(DigestTest, PiecewiseUpdatesEqualOneShot) {
    std::vector<unsigned char> bytes = randomBytes(100000);
    ZEPBuffer expected = TypeParam::Digest::digest(ZEPBuffer(bytes.size(), bytes.data()));
    typename TypeParam::Digest digest;
    // Twice over one object: final() starts a new message.
    for (int round = 0; round < 2; ++round) {
        const size_t pieces[] = {1, 0, 3, 63, 64, 65, 127, 1000, 7};
        size_t offset = 0;
        for (size_t i = 0; offset < bytes.size(); ++i) {
            size_t length = std::min(pieces[i % std::size(pieces)], bytes.size() - offset);
            digest.update(bytes.data() + offset, length);
            offset += length;
        }
        EXPECT_EQ(digest.final(), expected) << "round " << round;
    }
}

// 513 MiB: the message length in bits needs more than 32 bits.
TYPED_TEST(DigestTest, LengthBeyond32BitBitCount) {
    const std::vector<unsigned char> zeros(1 << 20);
    const size_t megabytes = 513;
    typename TypeParam::Digest digest;
    for (size_t i = 0; i < megabytes; ++i) digest.update(zeros.data(), zeros.size());
    EXPECT_EQ(hex(digest.final()),
              opensslDigest("head -c " + std::to_string(megabytes << 20) + " /dev/zero", TypeParam::name));
}

}  // namespace
