#include "functiontable.h"

#include "callrecorder.h"
#include "entrypoints.h"
#include "tokenlibrary.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>

namespace testtoken {

namespace {

// Every function of the list in the list's order: ANSWERED ones are in entrypoints.h,
// UNSUPPORTED ones get a stub.
#define TESTTOKEN_FUNCTIONS(ANSWERED, UNSUPPORTED)                                                               \
    ANSWERED(C_Initialize) ANSWERED(C_Finalize) ANSWERED(C_GetInfo) ANSWERED(C_GetFunctionList)                  \
    ANSWERED(C_GetSlotList) ANSWERED(C_GetSlotInfo) ANSWERED(C_GetTokenInfo) ANSWERED(C_GetMechanismList)        \
    ANSWERED(C_GetMechanismInfo) ANSWERED(C_InitToken) ANSWERED(C_InitPIN) ANSWERED(C_SetPIN)                    \
    ANSWERED(C_OpenSession) ANSWERED(C_CloseSession) ANSWERED(C_CloseAllSessions) ANSWERED(C_GetSessionInfo)     \
    ANSWERED(C_GetOperationState) ANSWERED(C_SetOperationState) ANSWERED(C_Login) ANSWERED(C_Logout)             \
    ANSWERED(C_CreateObject) ANSWERED(C_CopyObject) ANSWERED(C_DestroyObject)                                    \
    ANSWERED(C_GetObjectSize) ANSWERED(C_GetAttributeValue) ANSWERED(C_SetAttributeValue)                        \
    ANSWERED(C_FindObjectsInit) ANSWERED(C_FindObjects) ANSWERED(C_FindObjectsFinal)                             \
    ANSWERED(C_EncryptInit) ANSWERED(C_Encrypt) ANSWERED(C_EncryptUpdate) ANSWERED(C_EncryptFinal)               \
    ANSWERED(C_DecryptInit) ANSWERED(C_Decrypt) ANSWERED(C_DecryptUpdate) ANSWERED(C_DecryptFinal)               \
    ANSWERED(C_DigestInit) ANSWERED(C_Digest) ANSWERED(C_DigestUpdate) ANSWERED(C_DigestKey)                     \
    ANSWERED(C_DigestFinal) ANSWERED(C_SignInit) ANSWERED(C_Sign) ANSWERED(C_SignUpdate)                         \
    ANSWERED(C_SignFinal) UNSUPPORTED(C_SignRecoverInit) UNSUPPORTED(C_SignRecover) ANSWERED(C_VerifyInit)       \
    ANSWERED(C_Verify) ANSWERED(C_VerifyUpdate) ANSWERED(C_VerifyFinal)                                          \
    UNSUPPORTED(C_VerifyRecoverInit) UNSUPPORTED(C_VerifyRecover) UNSUPPORTED(C_DigestEncryptUpdate)             \
    UNSUPPORTED(C_DecryptDigestUpdate) UNSUPPORTED(C_SignEncryptUpdate) UNSUPPORTED(C_DecryptVerifyUpdate)       \
    ANSWERED(C_GenerateKey) ANSWERED(C_GenerateKeyPair) UNSUPPORTED(C_WrapKey) UNSUPPORTED(C_UnwrapKey)          \
    UNSUPPORTED(C_DeriveKey) ANSWERED(C_SeedRandom) ANSWERED(C_GenerateRandom)                                   \
    UNSUPPORTED(C_GetFunctionStatus) UNSUPPORTED(C_CancelFunction) UNSUPPORTED(C_WaitForSlotEvent)

// A function name as a template argument.
template <std::size_t N>
struct FunctionName {
    constexpr FunctionName(const char (&name)[N]) { std::copy_n(name, N, text); }
    char text[N];
};

// A function the token does not answer yet: logged, and CKR_FUNCTION_NOT_SUPPORTED
// once initialised.
template <FunctionName Name, typename Pointer>
struct Unsupported;

template <FunctionName Name, typename... Args>
struct Unsupported<Name, CK_RV (*)(Args...)> {
    static CK_RV answer(Args...) {
        return TokenLibrary::run(CallRecorder(Name.text), [](LibraryState&) { return CKR_FUNCTION_NOT_SUPPORTED; });
    }
};

CK_FUNCTION_LIST fullList() {
    CK_FUNCTION_LIST list{};
    list.version = {2, 40};
#define TESTTOKEN_SET_ANSWERED(name) list.name = api::name;
#define TESTTOKEN_SET_UNSUPPORTED(name) list.name = Unsupported<#name, decltype(list.name)>::answer;
    TESTTOKEN_FUNCTIONS(TESTTOKEN_SET_ANSWERED, TESTTOKEN_SET_UNSUPPORTED)
#undef TESTTOKEN_SET_ANSWERED
#undef TESTTOKEN_SET_UNSUPPORTED
    return list;
}

void clearEntry(CK_FUNCTION_LIST& list, std::string_view name) {
#define TESTTOKEN_CLEAR_IF_NAMED(entry) \
    if (name == #entry) {               \
        list.entry = nullptr;           \
    }
    TESTTOKEN_FUNCTIONS(TESTTOKEN_CLEAR_IF_NAMED, TESTTOKEN_CLEAR_IF_NAMED)
#undef TESTTOKEN_CLEAR_IF_NAMED
}

#define TESTTOKEN_NAME(name) #name,
constexpr std::string_view functionNames[] = {TESTTOKEN_FUNCTIONS(TESTTOKEN_NAME, TESTTOKEN_NAME)};
#undef TESTTOKEN_NAME

}  // namespace

bool FunctionTable::isFunction(std::string_view name) {
    return std::find(std::begin(functionNames), std::end(functionNames), name) != std::end(functionNames);
}

CK_FUNCTION_LIST* FunctionTable::without(const std::set<std::string>& removed) {
    // Never destroyed, like the library: handed-out lists must outlive every caller.
    static auto* const lists = new std::map<std::set<std::string>, std::unique_ptr<CK_FUNCTION_LIST>>;
    std::unique_ptr<CK_FUNCTION_LIST>& list = (*lists)[removed];
    if (!list) {
        list = std::make_unique<CK_FUNCTION_LIST>(fullList());
        for (const std::string& name : removed) {
            clearEntry(*list, name);
        }
    }
    return list.get();
}

}  // namespace testtoken
