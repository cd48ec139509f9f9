// The one in-memory library of the process and the way into it.
#ifndef TESTTOKEN_TOKENLIBRARY_H
#define TESTTOKEN_TOKENLIBRARY_H

#include "callrecorder.h"
#include "cryptokierror.h"
#include "librarystate.h"

#include <memory>
#include <mutex>
#include <new>
#include <optional>

namespace testtoken {

// Owns the state and the mutex around it. Every Cryptoki entry point runs through
// run(), every control call through access().
class TokenLibrary {
public:
    enum class Needs { nothing, initialisation };

    // Answers a Cryptoki call: an injected failure first, then, holding the
    // application's mutex (when initialised with callbacks) and the state mutex,
    // CKR_CRYPTOKI_NOT_INITIALIZED or the body's answer, which a failure injected
    // after the work replaces. A CryptokiError thrown by the body becomes the answer.
    // An injected failure that loses the session closes it once the call is answered.
    // The call is logged; no exception leaves.
    template <typename Body>
    static CK_RV run(const CallRecorder& call, Body&& body, Needs needs = Needs::initialisation) noexcept;

    template <typename Body>
    static auto access(Body&& body) {
        TokenLibrary& library = instance();
        std::lock_guard lock(library.mutex_);
        return body(library.state_);
    }

private:
    static TokenLibrary& instance();

    template <typename Body>
    CK_RV answer(Body& body, Needs needs);
    CK_RV log(const CallRecorder& call, CK_RV result);

    std::mutex mutex_;
    LibraryState state_;
};

template <typename Body>
CK_RV TokenLibrary::run(const CallRecorder& call, Body&& body, Needs needs) noexcept {
    try {
        TokenLibrary& library = instance();
        std::shared_ptr<ApplicationMutex> applicationMutex;
        std::optional<FaultPlan::Due> injected;
        {
            std::lock_guard lock(library.mutex_);
            injected = library.state_.faults.take(call.function());
            if (injected && injected->timing == FaultPlan::Timing::instead) {
                const CallRecord failed = call.record(injected->result);
                library.state_.endFailedOperation(failed);
                if (injected->sessionLost) library.state_.loseSession(failed);
                return library.log(call, injected->result);
            }
            applicationMutex = library.state_.applicationMutex;
        }
        // Declared in this order so the application's mutex is unlocked after the
        // state mutex, and destroyed last when the call finalised the library.
        const ApplicationMutex::Hold hold(applicationMutex.get());
        std::lock_guard lock(library.mutex_);
        if (hold.result() != CKR_OK) {
            return library.log(call, hold.result());
        }
        const CK_RV answered = library.answer(body, needs);
        if (injected && injected->sessionLost) library.state_.loseSession(call.record(injected->result));
        return library.log(call, injected ? injected->result : answered);
    } catch (const std::bad_alloc&) {
        return CKR_HOST_MEMORY;
    } catch (...) {
        return CKR_GENERAL_ERROR;
    }
}

template <typename Body>
CK_RV TokenLibrary::answer(Body& body, Needs needs) {
    if (needs == Needs::initialisation && !state_.initialised) {
        return CKR_CRYPTOKI_NOT_INITIALIZED;
    }
    try {
        return body(state_);
    } catch (const CryptokiError& error) {
        return error.result();
    }
}

}  // namespace testtoken

#endif
