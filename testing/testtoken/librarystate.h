// Everything the in-memory library holds.
#ifndef TESTTOKEN_LIBRARYSTATE_H
#define TESTTOKEN_LIBRARYSTATE_H

#include "applicationmutex.h"
#include "faultplan.h"
#include "objectaccess.h"
#include "sessiontable.h"
#include "slot.h"

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace testtoken {

// The library's answers (information, slots with their tokens, sessions,
// initialisation) and what tests scripted and observe. Guarded by TokenLibrary.
struct LibraryState {
    LibraryInfo info;
    std::map<CK_SLOT_ID, Slot> slots;
    SessionTable sessions;
    bool initialised = false;
    std::shared_ptr<ApplicationMutex> applicationMutex;  // while initialised with callbacks
    std::deque<CK_RV> initializeAnswers;
    FaultPlan faults;
    std::set<std::string> removedFunctions;
    std::vector<CallRecord> calls;

    Slot* findSlot(CK_SLOT_ID id);
    // CKR_SLOT_ID_INVALID when there is no such slot.
    Slot& slot(CK_SLOT_ID id);
    Token& tokenOf(const Session& session);
    // CKR_SESSION_HANDLE_INVALID when the handle names no open session.
    ObjectAccess objectsOf(CK_SESSION_HANDLE handle);

    // Closing a session destroys its session objects; closing a token's last
    // session logs the token out.
    void closeSession(CK_SESSION_HANDLE handle);
    void closeAllSessions(CK_SLOT_ID slot);
    // A failure injected instead of a call made for a cryptographic operation
    // ends that operation, as the library's own failures do: every value but
    // CKR_BUFFER_TOO_SMALL.
    void endFailedOperation(const CallRecord& call);
    // Closes the session the call names, if it is open.
    void loseSession(const CallRecord& call);
    void finalize();
};

}  // namespace testtoken

#endif
