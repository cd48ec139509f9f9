// The Cryptoki functions the token answers, by area: library.cpp, slots.cpp,
// pins.cpp, sessions.cpp, login.cpp, objects.cpp, search.cpp, operations.cpp,
// keygeneration.cpp, random.cpp. The function table
// reaches them; only C_GetFunctionList is exported by name.
#ifndef TESTTOKEN_ENTRYPOINTS_H
#define TESTTOKEN_ENTRYPOINTS_H

#include "cryptoki.h"

#include <type_traits>

// Every function of the list in the list's order: the token answers the ANSWERED
// ones, the function table gives the UNSUPPORTED ones a stub.
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

namespace testtoken::api {

// Each answered function, declared with the type of its entry in the list.
#define TESTTOKEN_DECLARE(name) std::remove_pointer_t<CK_##name> name;
#define TESTTOKEN_SKIP(name)
TESTTOKEN_FUNCTIONS(TESTTOKEN_DECLARE, TESTTOKEN_SKIP)
#undef TESTTOKEN_DECLARE
#undef TESTTOKEN_SKIP

}  // namespace testtoken::api

#endif
