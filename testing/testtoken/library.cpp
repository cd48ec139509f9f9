// General-purpose functions: initialisation, library information, the function list.
#include "arguments.h"
#include "entrypoints.h"
#include "functiontable.h"
#include "tokenlibrary.h"

namespace testtoken::api {

namespace {

CK_RV initialize(LibraryState& state, const CK_C_INITIALIZE_ARGS* args) {
    if (!state.initializeAnswers.empty()) {
        const CK_RV scripted = state.initializeAnswers.front();
        state.initializeAnswers.pop_front();
        if (scripted != CKR_OK) {
            return scripted;
        }
    }
    if (state.initialised) {
        return CKR_CRYPTOKI_ALREADY_INITIALIZED;
    }
    if (args != nullptr) {
        if (args->pReserved != nullptr) {
            return CKR_ARGUMENTS_BAD;
        }
        const int callbacks = (args->CreateMutex != nullptr) + (args->DestroyMutex != nullptr) +
                              (args->LockMutex != nullptr) + (args->UnlockMutex != nullptr);
        if (callbacks != 0 && callbacks != 4) {
            return CKR_ARGUMENTS_BAD;
        }
        // With callbacks the token locks through them even when OS locking is also
        // allowed, so that tests see them work.
        if (callbacks == 4) {
            state.applicationMutex = std::make_shared<ApplicationMutex>(*args);
        }
    }
    state.initialised = true;
    return CKR_OK;
}

}  // namespace

CK_RV C_Initialize(CK_VOID_PTR pInitArgs) {
    const auto* args = static_cast<const CK_C_INITIALIZE_ARGS*>(pInitArgs);
    CallRecorder call("C_Initialize");
    call.given("pInitArgs", args);
    if (args != nullptr) {
        call.value("flags", args->flags)
            .given("CreateMutex", args->CreateMutex)
            .given("DestroyMutex", args->DestroyMutex)
            .given("LockMutex", args->LockMutex)
            .given("UnlockMutex", args->UnlockMutex)
            .given("pReserved", args->pReserved);
    }
    return TokenLibrary::run(
        call, [&](LibraryState& state) { return initialize(state, args); }, TokenLibrary::Needs::nothing);
}

CK_RV C_Finalize(CK_VOID_PTR pReserved) {
    return TokenLibrary::run(CallRecorder("C_Finalize").given("pReserved", pReserved), [&](LibraryState& state) {
        if (pReserved != nullptr) {
            return CKR_ARGUMENTS_BAD;
        }
        state.finalize();
        return CKR_OK;
    });
}

CK_RV C_GetInfo(CK_INFO_PTR pInfo) {
    return TokenLibrary::run(CallRecorder("C_GetInfo").given("pInfo", pInfo), [&](LibraryState& state) {
        CK_INFO& info = required(pInfo);
        info = {};
        info.cryptokiVersion = state.info.cryptokiVersion;
        fillPadded(info.manufacturerID, state.info.manufacturer);
        fillPadded(info.libraryDescription, state.info.description);
        info.libraryVersion = state.info.libraryVersion;
        return CKR_OK;
    });
}

CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR ppFunctionList) {
    return TokenLibrary::run(
        CallRecorder("C_GetFunctionList").given("ppFunctionList", ppFunctionList),
        [&](LibraryState& state) {
            required(ppFunctionList) = FunctionTable::without(state.removedFunctions);
            return CKR_OK;
        },
        TokenLibrary::Needs::nothing);
}

}  // namespace testtoken::api

extern "C" TESTTOKEN_EXPORT CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR ppFunctionList) {
    return testtoken::api::C_GetFunctionList(ppFunctionList);
}
