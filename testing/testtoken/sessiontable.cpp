#include "sessiontable.h"

#include "cryptokierror.h"

#include <algorithm>
#include <array>

namespace testtoken {

namespace {

// An operation state is this tag followed by the bytes of the handle of the session
// it was taken from.
constexpr std::array<CK_BYTE, 4> stateTag{'T', 'T', 'O', 'S'};

std::vector<CK_BYTE> initialOperationState(CK_SESSION_HANDLE handle) {
    std::vector<CK_BYTE> state(stateTag.begin(), stateTag.end());
    for (std::size_t i = 0; i < sizeof handle; ++i) {
        state.push_back(static_cast<CK_BYTE>(handle >> (8 * i)));
    }
    return state;
}

}  // namespace

std::deque<CK_OBJECT_HANDLE>& Session::activeSearch() {
    if (!search) {
        throw CryptokiError(CKR_OPERATION_NOT_INITIALIZED);
    }
    return *search;
}

CK_SESSION_HANDLE SessionTable::open(CK_SLOT_ID slot, CK_FLAGS flags) {
    const CK_SESSION_HANDLE handle = next_++;
    sessions_.emplace(handle, Session{slot, flags & (CKF_SERIAL_SESSION | CKF_RW_SESSION),
                                      initialOperationState(handle), std::nullopt, {}});
    return handle;
}

Session& SessionTable::find(CK_SESSION_HANDLE handle) {
    const auto found = sessions_.find(handle);
    if (found == sessions_.end()) {
        throw CryptokiError(CKR_SESSION_HANDLE_INVALID);
    }
    return found->second;
}

bool SessionTable::isOpen(CK_SESSION_HANDLE handle, CK_SLOT_ID slot) const {
    const auto found = sessions_.find(handle);
    return found != sessions_.end() && found->second.slotId == slot;
}

void SessionTable::close(CK_SESSION_HANDLE handle) { sessions_.erase(handle); }

void SessionTable::closeSlot(CK_SLOT_ID slot) {
    std::erase_if(sessions_, [slot](const auto& entry) { return entry.second.slotId == slot; });
}

SessionCounts SessionTable::counts(CK_SLOT_ID slot) const {
    SessionCounts counts;
    for (const auto& [handle, session] : sessions_) {
        if (session.slotId == slot) {
            ++counts.all;
            counts.readWrite += session.readWrite() ? 1 : 0;
        }
    }
    return counts;
}

bool SessionTable::isOperationState(const std::vector<CK_BYTE>& bytes) {
    return bytes.size() >= stateTag.size() && std::equal(stateTag.begin(), stateTag.end(), bytes.begin());
}

}  // namespace testtoken
