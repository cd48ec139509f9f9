// Key generation. The token does no real cryptography: an RSA key pair is made of
// deterministic stand-in bytes of the right sizes, and the token's signatures and
// ciphertexts are worked out from its modulus (RsaStandIn). Secret-key generation
// knows no mechanism.
#include "arguments.h"
#include "entrypoints.h"
#include "standinbytes.h"
#include "tokenlibrary.h"

#include <cstdint>
#include <cstring>

namespace testtoken::api {

namespace {

constexpr CK_ULONG minimumModulusBits = 512;
constexpr CK_ULONG maximumModulusBits = 8192;

// Enters a value the token decides; CKR_TEMPLATE_INCONSISTENT when the template
// asked for another.
void decide(Attributes& attributes, CK_ATTRIBUTE_TYPE type, AttributeValue value) {
    const auto [entry, added] = attributes.try_emplace(type, std::move(value));
    if (!added && entry->second != value) {
        throw CryptokiError(CKR_TEMPLATE_INCONSISTENT);
    }
}

// CKA_MODULUS_BITS of the public template: CKR_TEMPLATE_INCOMPLETE when missing,
// CKR_KEY_SIZE_RANGE unless a whole number of bytes within the token's range.
CK_ULONG modulusBits(const Attributes& publicKey) {
    const auto found = publicKey.find(CKA_MODULUS_BITS);
    if (found == publicKey.end()) {
        throw CryptokiError(CKR_TEMPLATE_INCOMPLETE);
    }
    CK_ULONG bits = 0;
    if (found->second.size() != sizeof bits) {
        throw CryptokiError(CKR_ATTRIBUTE_VALUE_INVALID);
    }
    std::memcpy(&bits, found->second.data(), sizeof bits);
    if (bits % 8 != 0 || bits < minimumModulusBits || bits > maximumModulusBits) {
        throw CryptokiError(CKR_KEY_SIZE_RANGE);
    }
    return bits;
}

// Completes the two templates to the attributes of an RSA key pair.
void makeRsaKeyPair(Attributes& publicKey, Attributes& privateKey, std::uint64_t seed) {
    const std::size_t length = modulusBits(publicKey) / 8;
    StandInBytes bytes(seed);
    AttributeValue modulus = bytes.next(length);
    modulus.front() |= 0x80;
    modulus.back() |= 0x01;
    const AttributeValue exponent = publicKey.try_emplace(CKA_PUBLIC_EXPONENT, AttributeValue{1, 0, 1}).first->second;

    for (Attributes* key : {&publicKey, &privateKey}) {
        decide(*key, CKA_KEY_TYPE, ulongValue(CKK_RSA));
        decide(*key, CKA_MODULUS, modulus);
        decide(*key, CKA_PUBLIC_EXPONENT, exponent);
        decide(*key, CKA_LOCAL, boolValue(true));
    }
    decide(publicKey, CKA_CLASS, ulongValue(CKO_PUBLIC_KEY));
    decide(privateKey, CKA_CLASS, ulongValue(CKO_PRIVATE_KEY));
    decide(privateKey, CKA_PRIVATE_EXPONENT, bytes.next(length));
    for (CK_ATTRIBUTE_TYPE half : {CKA_PRIME_1, CKA_PRIME_2, CKA_EXPONENT_1, CKA_EXPONENT_2, CKA_COEFFICIENT}) {
        decide(privateKey, half, bytes.next(length / 2));
    }
}

}  // namespace

CK_RV C_GenerateKey(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism, CK_ATTRIBUTE_PTR pTemplate,
                    CK_ULONG ulCount, CK_OBJECT_HANDLE_PTR phKey) {
    CallRecorder call("C_GenerateKey");
    call.value("hSession", hSession)
        .mechanism("pMechanism", pMechanism)
        .attributes("pTemplate", pTemplate, "ulCount", ulCount)
        .output("phKey", phKey);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        state.sessions.find(hSession);
        required(pMechanism);
        return CKR_MECHANISM_INVALID;
    });
}

CK_RV C_GenerateKeyPair(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism,
                        CK_ATTRIBUTE_PTR pPublicKeyTemplate, CK_ULONG ulPublicKeyAttributeCount,
                        CK_ATTRIBUTE_PTR pPrivateKeyTemplate, CK_ULONG ulPrivateKeyAttributeCount,
                        CK_OBJECT_HANDLE_PTR phPublicKey, CK_OBJECT_HANDLE_PTR phPrivateKey) {
    CallRecorder call("C_GenerateKeyPair");
    call.value("hSession", hSession)
        .mechanism("pMechanism", pMechanism)
        .attributes("pPublicKeyTemplate", pPublicKeyTemplate, "ulPublicKeyAttributeCount", ulPublicKeyAttributeCount)
        .attributes("pPrivateKeyTemplate", pPrivateKeyTemplate, "ulPrivateKeyAttributeCount",
                    ulPrivateKeyAttributeCount)
        .output("phPublicKey", phPublicKey)
        .output("phPrivateKey", phPrivateKey);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        ObjectAccess objects = state.objectsOf(hSession);
        if (required(pMechanism).mechanism != CKM_RSA_PKCS_KEY_PAIR_GEN) {
            return CKR_MECHANISM_INVALID;
        }
        CK_OBJECT_HANDLE& publicHandle = required(phPublicKey);
        CK_OBJECT_HANDLE& privateHandle = required(phPrivateKey);
        Attributes publicKey = readTemplate(pPublicKeyTemplate, ulPublicKeyAttributeCount);
        Attributes privateKey = readTemplate(pPrivateKeyTemplate, ulPrivateKeyAttributeCount);
        // Seeded by the handle the public key will get, so every pair differs.
        makeRsaKeyPair(publicKey, privateKey, objects.nextHandle());
        // Both are checked before either is made.
        TokenObject publicObject = objects.prepare(std::move(publicKey));
        TokenObject privateObject = objects.prepare(std::move(privateKey));
        publicHandle = objects.add(std::move(publicObject));
        privateHandle = objects.add(std::move(privateObject));
        return CKR_OK;
    });
}

}  // namespace testtoken::api
