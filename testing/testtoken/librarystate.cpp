#include "librarystate.h"

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

void LibraryState::closeSession(CK_SESSION_HANDLE handle) {
    const CK_SLOT_ID slotId = sessions.find(handle).slotId;
    sessions.close(handle);
    if (sessions.counts(slotId).all == 0) {
        slot(slotId).token().forgetLogin();
    }
}

void LibraryState::closeAllSessions(CK_SLOT_ID slotId) {
    sessions.closeSlot(slotId);
    slot(slotId).token().forgetLogin();
}

void LibraryState::finalize() {
    for (const auto& entry : slots) {
        closeAllSessions(entry.first);
    }
    initialised = false;
    applicationMutex.reset();
}

}  // namespace testtoken
