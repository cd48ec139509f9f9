// The open sessions of all slots.
#ifndef TESTTOKEN_SESSIONTABLE_H
#define TESTTOKEN_SESSIONTABLE_H

#include "cryptooperation.h"

#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <vector>

namespace testtoken {

struct Session {
    CK_SLOT_ID slotId;
    CK_FLAGS flags;                         // CKF_SERIAL_SESSION, maybe CKF_RW_SESSION
    std::vector<CK_BYTE> operationState;   // what C_GetOperationState hands out
    std::optional<std::deque<CK_OBJECT_HANDLE>> search;  // while a search is active: what is left to deliver
    std::map<OperationKind, CryptoOperation> operations;  // the active ones, at most one of each kind

    bool readWrite() const noexcept { return (flags & CKF_RW_SESSION) != 0; }
    // What the active search has still to deliver; CKR_OPERATION_NOT_INITIALIZED
    // when no search is active.
    std::deque<CK_OBJECT_HANDLE>& activeSearch();
};

struct SessionCounts {
    std::size_t all = 0;
    std::size_t readWrite = 0;
};

// Handles count up from 1 and are never reused.
class SessionTable {
public:
    CK_SESSION_HANDLE open(CK_SLOT_ID slot, CK_FLAGS flags);
    // CKR_SESSION_HANDLE_INVALID when the handle names no open session.
    Session& find(CK_SESSION_HANDLE handle);
    bool isOpen(CK_SESSION_HANDLE handle, CK_SLOT_ID slot) const;
    void close(CK_SESSION_HANDLE handle);
    void closeSlot(CK_SLOT_ID slot);
    SessionCounts counts(CK_SLOT_ID slot) const;

    // Whether bytes are a state C_GetOperationState of this token handed out.
    static bool isOperationState(const std::vector<CK_BYTE>& bytes);

private:
    std::map<CK_SESSION_HANDLE, Session> sessions_;
    CK_SESSION_HANDLE next_ = 1;
};

}  // namespace testtoken

#endif
