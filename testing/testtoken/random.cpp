// Random numbers from the token's repeatable generator.
#include "arguments.h"
#include "entrypoints.h"
#include "tokenlibrary.h"

#include <algorithm>

namespace testtoken::api {

CK_RV C_SeedRandom(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pSeed, CK_ULONG ulSeedLen) {
    CallRecorder call("C_SeedRandom");
    call.value("hSession", hSession).input("pSeed", pSeed, "ulSeedLen", ulSeedLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        state.tokenOf(state.sessions.find(hSession)).generator();
        // The seed is accepted but changes nothing, so tests can predict the numbers.
        return pSeed == nullptr ? CKR_ARGUMENTS_BAD : CKR_OK;
    });
}

CK_RV C_GenerateRandom(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pRandomData, CK_ULONG ulRandomLen) {
    CallRecorder call("C_GenerateRandom");
    call.value("hSession", hSession).given("pRandomData", pRandomData).value("ulRandomLen", ulRandomLen);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        StandInBytes& generator = state.tokenOf(state.sessions.find(hSession)).generator();
        if (pRandomData == nullptr) {
            return CKR_ARGUMENTS_BAD;
        }
        const Bytes random = generator.next(ulRandomLen);
        std::copy(random.begin(), random.end(), pRandomData);
        return CKR_OK;
    });
}

}  // namespace testtoken::api
