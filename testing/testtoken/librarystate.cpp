#include "librarystate.h"

#include <string_view>

#include "cryptokierror.h"

namespace testtoken {

Slot* LibraryState::findSlot(CK_SLOT_ID id) {
    const auto found = slots.find(id);
    return found == slots.end() ? nullptr : &found->second;
}

Slot& LibraryState::slot(CK_SLOT_ID id) {
    Slot* const found = findSlot(id);
    if (found == nullptr) {
        throw CryptokiError(CKR_SLOT_ID_INVALID);
    }
    return *found;
}

Token& LibraryState::tokenOf(const Session& session) { return slot(session.slotId).token(); }

ObjectAccess LibraryState::objectsOf(CK_SESSION_HANDLE handle) {
    Session& session = sessions.find(handle);
    return ObjectAccess(tokenOf(session), session, handle);
}

void LibraryState::endFailedOperation(const CallRecord& call) {
    static const std::pair<std::string_view, OperationKind> prefixes[] = {
        {"C_Sign", OperationKind::sign},       {"C_Verify", OperationKind::verify},
        {"C_Encrypt", OperationKind::encrypt}, {"C_Decrypt", OperationKind::decrypt},
        {"C_Digest", OperationKind::digest}};
    const std::string_view function = call.function;
    if (call.result == CKR_BUFFER_TOO_SMALL || function.ends_with("Init") || !call.has("hSession")) return;
    for (const auto& [prefix, kind] : prefixes)
        if (function.starts_with(prefix)) {
            try {
                sessions.find(call.arg("hSession")).operations.erase(kind);
            } catch (const CryptokiError&) {
                // No such session: nothing to end.
            }
        }
}

void LibraryState::loseSession(const CallRecord& call) {
    if (!call.has("hSession")) return;
    try {
        closeSession(call.arg("hSession"));
    } catch (const CryptokiError&) {
        // Closed already.
    }
}

void LibraryState::closeSession(CK_SESSION_HANDLE handle) {
    const CK_SLOT_ID slotId = sessions.find(handle).slotId;
    Token& token = slot(slotId).token();
    sessions.close(handle);
    token.objects().closeSession(handle);
    if (sessions.counts(slotId).all == 0) {
        token.forgetLogin();
    }
}

void LibraryState::closeAllSessions(CK_SLOT_ID slotId) {
    Token& token = slot(slotId).token();
    sessions.closeSlot(slotId);
    token.objects().closeAllSessions();
    token.forgetLogin();
}

void LibraryState::finalize() {
    for (const auto& entry : slots) {
        closeAllSessions(entry.first);
    }
    initialised = false;
    applicationMutex.reset();
}

}  // namespace testtoken
