// Control interface of the in-memory test token.
//
// Tests link the token library and drive it through Control; the code under test
// loads the same library by path and talks Cryptoki to it, so both share one state.
// Call Control::reset() at the start of every test.
#ifndef TESTTOKEN_TESTTOKENCONTROL_H
#define TESTTOKEN_TESTTOKENCONTROL_H

#include "cryptoki.h"
#include "testtoken/testtokenexport.h"

#include <cstddef>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testtoken {

// What C_GetInfo reports. Text is blank padded (or cut) to the 32-byte fields.
struct LibraryInfo {
    CK_VERSION cryptokiVersion{2, 40};
    CK_VERSION libraryVersion{1, 0};
    std::string manufacturer = "Mervil Test";
    std::string description = "Test Token";
};

using MechanismTable = std::map<CK_MECHANISM_TYPE, CK_MECHANISM_INFO>;

// Data passed to and returned by the cryptographic calls.
using Bytes = std::vector<CK_BYTE>;

// The cryptographic calls take a mechanism only when the token's table lists it
// with the call's flag (CKF_SIGN, CKF_DIGEST and so on). They know CKM_RSA_PKCS,
// the combined MD5, SHA-1 and SHA-2 signature mechanisms, RSA-PSS (CKM_RSA_PKCS_PSS
// over a digest, and the SHA-2 combined ones; a CK_RSA_PKCS_PSS_PARAMS parameter
// is required), and CKM_MD5, CKM_SHA_1 and CKM_SHA224 ... CKM_SHA512, which give
// real digests. RSA results are repeatable stand-ins worked out from the key's
// CKA_MODULUS, modulus-length: what one half of a key pair makes the other undoes
// or verifies, a key with another modulus fails, and a combined mechanism signs
// exactly as CKM_RSA_PKCS over the DigestInfo of the data's digest (RSA-PSS signs
// the digest alone, the same way). ECDSA signatures are r||s of the key's curve,
// r what is signed (the digest, under CKM_ECDSA_SHA256/384/512) cut or padded
// with leading zeros to the field's length, s r's bitwise complement. A key needs
// CKA_CLASS, CKA_KEY_TYPE CKK_RSA and CKA_MODULUS, or for ECDSA CKK_EC and
// CKA_EC_PARAMS naming P-256, P-384 or P-521; CKA_SIGN, CKA_VERIFY,
// CKA_ENCRYPT or CKA_DECRYPT set false forbids that use, missing allows it. A
// multi-part operation answers at its final call. A null data pointer is refused
// with CKR_ARGUMENTS_BAD even for no bytes, as SoftHSM2 refuses it. C_GenerateRandom
// continues a repeatable sequence per token, CKR_RANDOM_NO_RNG without CKF_RNG;
// C_SeedRandom accepts any seed and changes nothing.

// A typical RSA token: key-pair generation, raw PKCS#1 v1.5, the combined MD5 and
// SHA-1 signature mechanisms and the two digests.
inline MechanismTable rsaMechanisms() {
    return {{CKM_RSA_PKCS_KEY_PAIR_GEN, {512, 4096, CKF_GENERATE_KEY_PAIR}},
            {CKM_RSA_PKCS, {512, 4096, CKF_ENCRYPT | CKF_DECRYPT | CKF_SIGN | CKF_VERIFY | CKF_WRAP | CKF_UNWRAP}},
            {CKM_MD5_RSA_PKCS, {512, 4096, CKF_SIGN | CKF_VERIFY}},
            {CKM_SHA1_RSA_PKCS, {512, 4096, CKF_SIGN | CKF_VERIFY}},
            {CKM_MD5, {0, 0, CKF_DIGEST}},
            {CKM_SHA_1, {0, 0, CKF_DIGEST}}};
}

// An RSA token without the combined mechanisms: who signs a digest must wrap it in
// a DigestInfo and sign that with CKM_RSA_PKCS.
inline MechanismTable bareRsaMechanisms() {
    MechanismTable table = rsaMechanisms();
    std::erase_if(table, [](const auto& entry) {
        return entry.first != CKM_RSA_PKCS_KEY_PAIR_GEN && entry.first != CKM_RSA_PKCS;
    });
    return table;
}

// A token: what C_GetTokenInfo reports and what C_InitToken, C_InitPIN and C_SetPIN
// change. On a token with CKF_PROTECTED_AUTHENTICATION_PATH a null PIN stands for
// one typed on the token's own pad: it always matches, and a PIN "set" that way keeps
// the value stored here.
struct TokenSettings {
    std::string label = "Test Token";
    std::string manufacturer = "Mervil Test";
    std::string model = "Memory Token";
    std::string serialNumber = "0000000000000001";
    CK_FLAGS flags = CKF_RNG | CKF_LOGIN_REQUIRED | CKF_USER_PIN_INITIALIZED | CKF_TOKEN_INITIALIZED;
    std::string soPin = "12345678";
    std::string userPin = "1234";
    CK_ULONG minPinLength = 4;
    CK_ULONG maxPinLength = 32;
    MechanismTable mechanisms;
};

// A slot and the token that belongs in it. CKF_TOKEN_PRESENT in the reported slot
// flags follows tokenPresent; a token that is not present can be inserted later.
struct SlotSettings {
    CK_SLOT_ID id = 1;
    std::string description = "Test Slot";
    std::string manufacturer = "Mervil Test";
    CK_FLAGS flags = CKF_REMOVABLE_DEVICE;
    bool tokenPresent = true;
    TokenSettings token;
};

// Attribute values as the token stores them: CK_ULONG and CK_BBOOL in native form,
// text and byte strings as they are.
using AttributeValue = std::vector<CK_BYTE>;
using Attributes = std::map<CK_ATTRIBUTE_TYPE, AttributeValue>;

inline AttributeValue ulongValue(CK_ULONG value) {
    AttributeValue bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}
inline AttributeValue boolValue(bool value) { return {static_cast<CK_BYTE>(value ? CK_TRUE : CK_FALSE)}; }
inline AttributeValue textValue(std::string_view text) { return {text.begin(), text.end()}; }

// An object on a token. Token objects (CKA_TOKEN true) stay until destroyed or the
// token is initialised; session objects belong to the session that made them and go
// when it closes. Objects with CKA_PRIVATE true are seen only while the user is
// logged in.
struct ObjectInfo {
    CK_OBJECT_HANDLE handle = CK_INVALID_HANDLE;
    Attributes attributes;
    std::optional<CK_SESSION_HANDLE> session;  // the owner of a session object
};

// One Cryptoki call as the token answered it. args holds the call's key arguments
// by their parameter names: numbers as passed; pointers as 1 when given and 0 when
// null; for a count or handle passed by pointer also "<name>.in" (on entry, when
// given) and "<name>.out" (on return, when given); a mechanism's type as
// "mechanism". PINs appear only as lengths; templates only as their count and
// attribute types, never values.
struct TESTTOKEN_EXPORT CallRecord {
    std::string function;
    std::map<std::string, CK_ULONG> args;
    // Of the template arguments, in order; C_GenerateKeyPair's public template first.
    std::vector<CK_ATTRIBUTE_TYPE> attributeTypes;
    // The byte strings the cryptographic calls are given (data, parts, ciphertext,
    // signatures, seeds) by parameter name, as they were when the call returned.
    std::map<std::string, Bytes> inputs;
    CK_RV result = CKR_OK;

    // The named argument or input; std::out_of_range when the call has none such.
    CK_ULONG arg(const std::string& name) const;
    const Bytes& input(const std::string& name) const;
    bool has(const std::string& name) const;
};

// Whether an injected failure leaves the call's session open or closes it.
enum class SessionFate { kept, lost };

// Everything a test sets up, scripts and observes. Unknown slot ids and function
// names throw std::invalid_argument.
class TESTTOKEN_EXPORT Control {
public:
    Control() = delete;

    // Default library information, no slots, not initialised, nothing scripted or
    // injected, no function removed, empty call log.
    static void reset();

    static void setInfo(const LibraryInfo& info);

    // Adds a slot; its id must be new.
    static void addSlot(const SlotSettings& slot);
    // Removing a token closes the slot's sessions; inserting brings back the same token.
    static void setTokenPresent(CK_SLOT_ID slot, bool present);
    static void setMechanisms(CK_SLOT_ID slot, const MechanismTable& mechanisms);

    // The slot's token as it stands now (label, flags and PINs after changes).
    static TokenSettings token(CK_SLOT_ID slot);
    static std::size_t sessionCount(CK_SLOT_ID slot);
    // CKU_SO or CKU_USER while someone is logged in to the slot's token.
    static std::optional<CK_USER_TYPE> loggedInUser(CK_SLOT_ID slot);
    static bool isInitialized();

    // Answers for the next C_Initialize calls, in order, after any still queued. A
    // CKR_OK answer initialises as usual; once the queue is empty calls behave normally.
    static void scriptInitialize(const std::vector<CK_RV>& answers);

    // C_GetFunctionList hands out tables with a null entry for the function from now on.
    static void removeFunction(const std::string& name);

    // The function answers result, without doing anything else, on its callNumber-th
    // call from now (1 = the next call), or on every call from now. Only a call made
    // for a cryptographic operation (not its Init) also ends the operation, as every
    // failure but CKR_BUFFER_TOO_SMALL does. With SessionFate::lost the call's session
    // is closed as well, as a token closes one it answers CKR_SESSION_HANDLE_INVALID or
    // CKR_DEVICE_REMOVED for.
    static void failOnCall(const std::string& function, CK_RV result, unsigned callNumber = 1,
                           SessionFate fate = SessionFate::kept);
    static void failAlways(const std::string& function, CK_RV result);
    // The function does its work as usual, outputs included, and then answers result
    // on its callNumber-th call from now: a call that fails after delivering.
    static void failAfterWork(const std::string& function, CK_RV result, unsigned callNumber = 1,
                              SessionFate fate = SessionFate::kept);

    // The objects of the slot's token, in creation order, whoever may see them.
    static std::vector<ObjectInfo> objects(CK_SLOT_ID slot);
    // std::invalid_argument when the token has no such object.
    static ObjectInfo object(CK_SLOT_ID slot, CK_OBJECT_HANDLE handle);
    // Puts an object on the token without the checks of C_CreateObject. It needs
    // CKA_CLASS; it is a token object unless CKA_TOKEN is CK_FALSE, and then belongs
    // to `session`, an open session of the slot. Missing CKA_PRIVATE and
    // CKA_MODIFIABLE get the token's defaults, as with C_CreateObject.
    static CK_OBJECT_HANDLE addObject(CK_SLOT_ID slot, const Attributes& attributes,
                                      CK_SESSION_HANDLE session = CK_INVALID_HANDLE);

    static std::vector<CallRecord> calls();
    static std::vector<CallRecord> callsOf(const std::string& function);
    static std::size_t callCount(const std::string& function);
    static void clearCalls();
};

}  // namespace testtoken

#endif
