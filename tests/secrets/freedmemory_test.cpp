// Reading a PEM private key and its components leaves none of it in freed
// memory: every block the program frees is searched for a line of the key's
// base64 text and for its private exponent.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <vector>

#include "asn/zeppem.h"
#include "zepsubjectpublickeyinfo.h"

namespace {

// The bytes searched for, and whether freed blocks are searched now.
struct Search {
    std::atomic<bool> active{false};
    unsigned char secret[64];
    size_t length = 0;
    std::atomic<int> found{0};
} search;

void inspect(void* block) {
    if (!block || !search.active || search.length == 0) return;
    if (memmem(block, malloc_usable_size(block), search.secret, search.length)) ++search.found;
}

}  // namespace

void* operator new(size_t size) {
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    inspect(block);
    std::free(block);
}
void operator delete(void* block, size_t) noexcept { operator delete(block); }

namespace {

ZEPBuffer readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ZEPBuffer(bytes.size(), bytes.data());
}

// Reads the key while freed blocks are searched for `secret`; the number of
// blocks that held it.
int blocksHolding(const ZEPBuffer& pem, const ZEPBuffer& secret) {
    std::memcpy(search.secret, secret.getValue(), secret.getLength());
    search.length = secret.getLength();
    search.found = 0;
    search.active = true;
    {
        const ZEPPrivateKeyInfo key(ZEPPEM::decode(pem, ZEPPEM::LABEL_PRIVATE_KEY));
        EXPECT_FALSE(key.getPrivateExponent().empty());
    }
    search.active = false;
    return search.found;
}

TEST(FreedMemory, ReadingAPemPrivateKeyLeavesNoPartOfItBehind) {
    const ZEPBuffer pem = readFile(MERVIL_TEST_KEYS "/rsa1024.pem");
    // The third line of the body: base64 text of private key material.
    const char* text = reinterpret_cast<const char*>(pem.getValue());
    const char* line = text;
    for (int i = 0; i < 3; ++i) line = std::strchr(line, '\n') + 1;
    const ZEPBuffer base64Line(48, line);
    EXPECT_EQ(blocksHolding(pem, base64Line), 0);

    ZEPBuffer exponent = ZEPPrivateKeyInfo(ZEPPEM::decode(pem, ZEPPEM::LABEL_PRIVATE_KEY)).getPrivateExponent();
    EXPECT_EQ(blocksHolding(pem, ZEPBuffer(32, exponent.getValue() + 16)), 0);
}

}  // namespace
