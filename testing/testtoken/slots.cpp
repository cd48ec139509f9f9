// Slot and token management: slot list, slot and token information, mechanisms.
#include "arguments.h"
#include "entrypoints.h"
#include "tokenlibrary.h"

namespace testtoken::api {

CK_RV C_GetSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID_PTR pSlotList, CK_ULONG_PTR pulCount) {
    CallRecorder call("C_GetSlotList");
    call.value("tokenPresent", tokenPresent).given("pSlotList", pSlotList).inOut("pulCount", pulCount);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        std::vector<CK_SLOT_ID> ids;
        for (const auto& [id, slot] : state.slots) {
            if (tokenPresent == CK_FALSE || slot.tokenPresent()) {
                ids.push_back(id);
            }
        }
        return returnList(ids, pSlotList, pulCount);
    });
}

CK_RV C_GetSlotInfo(CK_SLOT_ID slotID, CK_SLOT_INFO_PTR pInfo) {
    CallRecorder call("C_GetSlotInfo");
    call.value("slotID", slotID).given("pInfo", pInfo);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        const Slot& slot = state.slot(slotID);
        slot.describe(required(pInfo));
        return CKR_OK;
    });
}

CK_RV C_GetTokenInfo(CK_SLOT_ID slotID, CK_TOKEN_INFO_PTR pInfo) {
    CallRecorder call("C_GetTokenInfo");
    call.value("slotID", slotID).given("pInfo", pInfo);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        const Token& token = state.slot(slotID).presentToken();
        CK_TOKEN_INFO& info = required(pInfo);
        token.describe(info);
        const SessionCounts counts = state.sessions.counts(slotID);
        info.ulSessionCount = counts.all;
        info.ulRwSessionCount = counts.readWrite;
        return CKR_OK;
    });
}

CK_RV C_GetMechanismList(CK_SLOT_ID slotID, CK_MECHANISM_TYPE_PTR pMechanismList, CK_ULONG_PTR pulCount) {
    CallRecorder call("C_GetMechanismList");
    call.value("slotID", slotID).given("pMechanismList", pMechanismList).inOut("pulCount", pulCount);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        std::vector<CK_MECHANISM_TYPE> types;
        for (const auto& entry : state.slot(slotID).presentToken().settings().mechanisms) {
            types.push_back(entry.first);
        }
        return returnList(types, pMechanismList, pulCount);
    });
}

CK_RV C_GetMechanismInfo(CK_SLOT_ID slotID, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO_PTR pInfo) {
    CallRecorder call("C_GetMechanismInfo");
    call.value("slotID", slotID).value("type", type).given("pInfo", pInfo);
    return TokenLibrary::run(call, [&](LibraryState& state) {
        const CK_MECHANISM_INFO& mechanism = state.slot(slotID).presentToken().mechanism(type);
        required(pInfo) = mechanism;
        return CKR_OK;
    });
}

}  // namespace testtoken::api
