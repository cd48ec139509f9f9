// What handling secrets leaves in freed memory: nothing of a private key read
// from PEM or imported to a token, of decrypted data or of a PIN. Every block
// the program frees while a secret is handled is searched for a piece of it;
// blocks the test token frees are the token's own, not the module's, and are
// passed over.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <vector>

#include "asn/zeppem.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrydecryptionalgorithm.h"
#include "kry/zepkryencryptionalgorithm.h"
#include "pkcs11manager.h"
#include "slotmanager.h"
#include "slotmanagerutility.h"
#include "testtoken/testtokencontrol.h"
#include "zepsubjectpublickeyinfo.h"

namespace {

// The bytes searched for, and whether freed blocks are searched now.
struct Search {
    std::atomic<bool> active{false};
    unsigned char secret[64];
    size_t length = 0;
    std::atomic<int> found{0};
    const void* tokenBase = nullptr;  // where the test token is loaded
} search;

void inspect(void* block, void* caller) {
    if (!block || !search.active || search.length == 0) return;
    Dl_info where;
    if (dladdr(caller, &where) && where.dli_fbase == search.tokenBase) return;
    if (memmem(block, malloc_usable_size(block), search.secret, search.length)) ++search.found;
}

}  // namespace

void* operator new(size_t size) {
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    inspect(block, __builtin_return_address(0));
    std::free(block);
}
void operator delete(void* block, size_t) noexcept {
    inspect(block, __builtin_return_address(0));
    std::free(block);
}

namespace {

ZEPBuffer readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ZEPBuffer(bytes.size(), bytes.data());
}

ZEPBuffer text(const char* value) { return ZEPBuffer(std::strlen(value), value); }

// Runs `use` while freed blocks are searched for `secret`; the number of
// blocks that held it.
int blocksHolding(const ZEPBuffer& secret, const std::function<void()>& use) {
    std::memcpy(search.secret, secret.getValue(), secret.getLength());
    search.length = secret.getLength();
    search.found = 0;
    search.active = true;
    use();
    search.active = false;
    return search.found;
}

TEST(FreedMemory, NoSecretIsLeftInFreedMemory) {
    using testtoken::Control;
    Control::reset();
    testtoken::SlotSettings settings;
    settings.token.userPin = "pin-5e3a9c1f7b2d8e04";
    settings.token.soPin = "so-8d4b2e6a9c1f3e705";
    settings.token.mechanisms = testtoken::rsaMechanisms();
    Control::addSlot(settings);
    PKCS11Manager manager{ZEPPKCS11ConnectInfo(TESTTOKEN_LIBRARY_PATH)};
    std::unique_ptr<SlotManager> slot(static_cast<SlotManager*>(manager.getSlotManager(settings.id, 1)));
    Dl_info token;
    ASSERT_TRUE(dladdr(dlsym(dlopen(TESTTOKEN_LIBRARY_PATH, RTLD_LAZY | RTLD_NOLOAD), "C_GetFunctionList"), &token));
    search.tokenBase = token.dli_fbase;

    const ZEPBuffer pem = readFile(MERVIL_TEST_KEYS "/rsa1024.pem");
    const ZEPKRYKey privateKey(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO,
                               readFile(MERVIL_TEST_KEYS "/rsa1024.p8"));
    const ZEPKRYKey publicKey(ZEPKRYKey::TYPE_PUBLIC, ZEPKRYKey::ALGORITHM_RSA,
                              ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO, readFile(MERVIL_TEST_KEYS "/rsa1024.spki"));
    // The third line of the PEM body: base64 text of private key material.
    const char* line = reinterpret_cast<const char*>(pem.getValue());
    for (int i = 0; i < 3; ++i) line = std::strchr(line, '\n') + 1;
    const ZEPBuffer exponent = ZEPPrivateKeyInfo(privateKey.getKeyBlob()).getPrivateExponent();
    const auto onToken = [&](int type) {
        return ZEPKRYKey(type, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD,
                         ZEPPKCS11ASNKeyRecord(slot->getLabel(), SlotManagerUtility::makeObjectId(privateKey), 1024,
                                               ZEPBuffer())
                             .getBuffer());
    };
    const ZEPBuffer plain = text("decrypted on the token, for the caller only");
    const auto readPem = [&] {
        EXPECT_EQ(ZEPPrivateKeyInfo(ZEPPEM::decode(pem, ZEPPEM::LABEL_PRIVATE_KEY)).getPrivateExponent(), exponent);
    };

    const struct {
        const char* what;
        ZEPBuffer secret;
        std::function<void()> use;
    } cases[] = {
        {"PEM private key, a line of its text", ZEPBuffer(48, line), readPem},
        {"PEM private key, its private exponent", ZEPBuffer(32, exponent.getValue() + 16), readPem},
        {"user PIN at login", text("pin-5e3a9c1f7b2d8e04"), [&] { slot->login(text("pin-5e3a9c1f7b2d8e04")); }},
        {"imported private key", ZEPBuffer(32, exponent.getValue() + 16),
         [&] {
             EXPECT_TRUE(slot->insertItem(ZEPKeyItem(privateKey, text("private"))));
             EXPECT_TRUE(slot->insertItem(ZEPKeyItem(publicKey, text("public"))));
         }},
        {"decrypted data", plain,
         [&] {
             std::unique_ptr<ZEPKRYAlgorithmFactory> factory(slot->getZEPKRYAlgorithmFactory());
             std::unique_ptr<ZEPKRYEncryptionAlgorithm> encryption(
                 factory->make_RSAPKCS_EncryptionAlgorithm(onToken(ZEPKRYKey::TYPE_PUBLIC)));
             std::unique_ptr<ZEPKRYDecryptionAlgorithm> decryption(
                 factory->make_RSAPKCS_DecryptionAlgorithm(onToken(ZEPKRYKey::TYPE_PRIVATE), nullptr));
             EXPECT_EQ(decryption->decryptData(encryption->encryptData(plain.get()).get()), plain);
         }},
        {"new user PIN", text("pin-0a7c3e5b9d4f6a18"),
         [&] { slot->setPassword(text("pin-5e3a9c1f7b2d8e04"), text("pin-0a7c3e5b9d4f6a18")); }},
        {"security officer's PIN", text("so-8d4b2e6a9c1f3e705"),
         [&] { slot->initPassword(text("so-8d4b2e6a9c1f3e705"), text("pin-5e3a9c1f7b2d8e04")); }},
    };
    for (const auto& c : cases) EXPECT_EQ(blocksHolding(c.secret, c.use), 0) << c.what;
    EXPECT_EQ(Control::token(settings.id).userPin, "pin-5e3a9c1f7b2d8e04");
    slot.reset();
    Control::reset();
}

}  // namespace
