// The client's cryptographic operations: encryption, decryption, signing,
// verification, digesting and random numbers.
#include <algorithm>

#include "pkcs11client.h"

namespace {

CK_ULONG lengthOf(const ZEPBuffer& buffer) { return static_cast<CK_ULONG>(buffer.getLength()); }

// Return values that are answers rather than failures.
constexpr std::array<CK_RV, 2> kSignatureVerdicts = {CKR_SIGNATURE_INVALID, CKR_SIGNATURE_LEN_RANGE};
constexpr std::array<CK_RV, 2> kNoGenerator = {CKR_RANDOM_SEED_NOT_SUPPORTED, CKR_RANDOM_NO_RNG};

}  // namespace

template <typename Function, typename Call>
CK_RV PKCS11Client::sizedOutput(const char* label, Cryptoki<Function> function, CK_SESSION_HANDLE& session,
                                ZEPBuffer& output, Call call, CK_ULONG expected) {
    return run(label, function, Locking::none, [&](Function f) {
        CK_ULONG length = expected;
        if (expected == 0) check(call(f, nullptr, &length), function.name, function.family, {&session});
        // A ZEPBuffer, wiped when released: decrypted data passes through it.
        ZEPBuffer received(length, nullptr);
        const CK_RV rv = call(f, dataOf(received), &length);
        if (rv == CKR_OK) output.assign(std::min<size_t>(length, received.getLength()), received.getValue());
        if (rv == CKR_BUFFER_TOO_SMALL && expected != 0) return rv;
        return check(rv, function.name, function.family, {&session});
    });
}

CK_RV PKCS11Client::encryptInit(CK_SESSION_HANDLE& session, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key) {
    return call("PKCS11Client::encryptInit()", CRYPTOKI_FUNCTION(C_EncryptInit, errorcode::ENCRYPT_FAILED), {&session, {}, Locking::none},
                session, mechanism, key);
}

CK_RV PKCS11Client::encryptUpdate(CK_SESSION_HANDLE& session, const ZEPBuffer& input, ZEPBuffer& output) {
    return sizedOutput("PKCS11Client::encryptUpdate()", CRYPTOKI_FUNCTION(C_EncryptUpdate, errorcode::ENCRYPT_FAILED), session, output,
                       [&](CK_C_EncryptUpdate f, CK_BYTE* out, CK_ULONG* length) {
                           return f(session, dataOf(input), lengthOf(input), out, length);
                       });
}

CK_RV PKCS11Client::encrypt(CK_SESSION_HANDLE& session, const ZEPBuffer& input, ZEPBuffer& output, CK_ULONG expected) {
    return sizedOutput("PKCS11Client::encrypt()", CRYPTOKI_FUNCTION(C_Encrypt, errorcode::ENCRYPT_FAILED), session, output,
                       [&](CK_C_Encrypt f, CK_BYTE* out, CK_ULONG* length) {
                           return f(session, dataOf(input), lengthOf(input), out, length);
                       }, expected);
}

CK_RV PKCS11Client::encryptFinal(CK_SESSION_HANDLE& session, ZEPBuffer& output) {
    return sizedOutput("PKCS11Client::encryptFinal()", CRYPTOKI_FUNCTION(C_EncryptFinal, errorcode::ENCRYPT_FAILED), session, output,
                       [&](CK_C_EncryptFinal f, CK_BYTE* out, CK_ULONG* length) { return f(session, out, length); });
}

CK_RV PKCS11Client::decryptInit(CK_SESSION_HANDLE& session, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key) {
    return call("PKCS11Client::decryptInit()", CRYPTOKI_FUNCTION(C_DecryptInit, errorcode::DECRYPT_FAILED), {&session, {}, Locking::none},
                session, mechanism, key);
}

CK_RV PKCS11Client::decrypt(CK_SESSION_HANDLE& session, const ZEPBuffer& input, ZEPBuffer& output, CK_ULONG expected) {
    return sizedOutput("PKCS11Client::decrypt()", CRYPTOKI_FUNCTION(C_Decrypt, errorcode::DECRYPT_FAILED), session, output,
                       [&](CK_C_Decrypt f, CK_BYTE* out, CK_ULONG* length) {
                           return f(session, dataOf(input), lengthOf(input), out, length);
                       }, expected);
}

CK_RV PKCS11Client::decryptUpdate(CK_SESSION_HANDLE& session, const ZEPBuffer& input, ZEPBuffer& output) {
    return sizedOutput("PKCS11Client::decryptUpdate()", CRYPTOKI_FUNCTION(C_DecryptUpdate, errorcode::DECRYPT_FAILED), session, output,
                       [&](CK_C_DecryptUpdate f, CK_BYTE* out, CK_ULONG* length) {
                           return f(session, dataOf(input), lengthOf(input), out, length);
                       });
}

CK_RV PKCS11Client::decryptFinal(CK_SESSION_HANDLE& session, ZEPBuffer& output) {
    return sizedOutput("PKCS11Client::decryptFinal()", CRYPTOKI_FUNCTION(C_DecryptFinal, errorcode::DECRYPT_FAILED), session, output,
                       [&](CK_C_DecryptFinal f, CK_BYTE* out, CK_ULONG* length) { return f(session, out, length); });
}

CK_RV PKCS11Client::signInit(CK_SESSION_HANDLE& session, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key) {
    return call("PKCS11Client::signInit()", CRYPTOKI_FUNCTION(C_SignInit, errorcode::SIGN_FAILED), {&session, {}, Locking::none},
                session, mechanism, key);
}

CK_RV PKCS11Client::signUpdate(CK_SESSION_HANDLE& session, const ZEPBuffer& input) {
    return call("PKCS11Client::signUpdate()", CRYPTOKI_FUNCTION(C_SignUpdate, errorcode::SIGN_FAILED), {&session, {}, Locking::none},
                session, dataOf(input), lengthOf(input));
}

CK_RV PKCS11Client::sign(CK_SESSION_HANDLE& session, const ZEPBuffer& input, ZEPBuffer& output, CK_ULONG expected) {
    return sizedOutput("PKCS11Client::sign()", CRYPTOKI_FUNCTION(C_Sign, errorcode::SIGN_FAILED), session, output,
                       [&](CK_C_Sign f, CK_BYTE* out, CK_ULONG* length) {
                           return f(session, dataOf(input), lengthOf(input), out, length);
                       }, expected);
}

CK_RV PKCS11Client::signFinal(CK_SESSION_HANDLE& session, ZEPBuffer& output) {
    return sizedOutput("PKCS11Client::signFinal()", CRYPTOKI_FUNCTION(C_SignFinal, errorcode::SIGN_FAILED), session, output,
                       [&](CK_C_SignFinal f, CK_BYTE* out, CK_ULONG* length) { return f(session, out, length); });
}

CK_RV PKCS11Client::verifyInit(CK_SESSION_HANDLE& session, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key) {
    return call("PKCS11Client::verifyInit()", CRYPTOKI_FUNCTION(C_VerifyInit, errorcode::VERIFY_FAILED), {&session, {}, Locking::none},
                session, mechanism, key);
}

CK_RV PKCS11Client::verifyUpdate(CK_SESSION_HANDLE& session, const ZEPBuffer& input) {
    return call("PKCS11Client::verifyUpdate()", CRYPTOKI_FUNCTION(C_VerifyUpdate, errorcode::VERIFY_FAILED), {&session, {}, Locking::none},
                session, dataOf(input), lengthOf(input));
}

CK_RV PKCS11Client::verify(CK_SESSION_HANDLE& session, const ZEPBuffer& data, const ZEPBuffer& signature) {
    return call("PKCS11Client::verify()", CRYPTOKI_FUNCTION(C_Verify, errorcode::VERIFY_FAILED),
                {&session, kSignatureVerdicts, Locking::none}, session, dataOf(data), lengthOf(data),
                dataOf(signature), lengthOf(signature));
}

CK_RV PKCS11Client::verifyFinal(CK_SESSION_HANDLE& session, const ZEPBuffer& signature) {
    return call("PKCS11Client::verifyFinal()", CRYPTOKI_FUNCTION(C_VerifyFinal, errorcode::VERIFY_FAILED),
                {&session, kSignatureVerdicts, Locking::none}, session, dataOf(signature), lengthOf(signature));
}

CK_RV PKCS11Client::digestInit(CK_SESSION_HANDLE& session, CK_MECHANISM* mechanism) {
    return call("PKCS11Client::digestInit()", CRYPTOKI_FUNCTION(C_DigestInit, errorcode::DIGEST_FAILED),
                {&session, {}, Locking::none}, session, mechanism);
}

// The one wrapper whose failure leaves the session handle as it is.
CK_RV PKCS11Client::digestUpdate(CK_SESSION_HANDLE& session, const ZEPBuffer& input) {
    return call("PKCS11Client::digestUpdate()", CRYPTOKI_FUNCTION(C_DigestUpdate, errorcode::DIGEST_FAILED), {nullptr, {}, Locking::none},
                session, dataOf(input), lengthOf(input));
}

CK_RV PKCS11Client::digest(CK_SESSION_HANDLE& session, const ZEPBuffer& input, ZEPBuffer& output) {
    return sizedOutput("PKCS11Client::digest()", CRYPTOKI_FUNCTION(C_Digest, errorcode::DIGEST_FAILED), session, output,
                       [&](CK_C_Digest f, CK_BYTE* out, CK_ULONG* length) {
                           return f(session, dataOf(input), lengthOf(input), out, length);
                       });
}

CK_RV PKCS11Client::digestFinal(CK_SESSION_HANDLE& session, ZEPBuffer& output) {
    return sizedOutput("PKCS11Client::digestFinal()", CRYPTOKI_FUNCTION(C_DigestFinal, errorcode::DIGEST_FAILED), session, output,
                       [&](CK_C_DigestFinal f, CK_BYTE* out, CK_ULONG* length) { return f(session, out, length); });
}

CK_RV PKCS11Client::seedRandom(CK_SESSION_HANDLE& session, const ZEPBuffer& seed) {
    return call("PKCS11Client::seedRandom()", CRYPTOKI_FUNCTION(C_SeedRandom, errorcode::RANDOM_FAILED),
                {&session, kNoGenerator}, session, dataOf(seed), lengthOf(seed));
}

CK_RV PKCS11Client::generateRandom(CK_SESSION_HANDLE& session, ZEPBuffer& output) {
    return call("PKCS11Client::generateRandom()", CRYPTOKI_FUNCTION(C_GenerateRandom, errorcode::RANDOM_FAILED),
                {&session, kNoGenerator}, session, dataOf(output), lengthOf(output));
}
