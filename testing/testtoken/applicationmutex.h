// A mutex made and worked by the application's C_Initialize callbacks.
#ifndef TESTTOKEN_APPLICATIONMUTEX_H
#define TESTTOKEN_APPLICATIONMUTEX_H

#include "cryptoki.h"

namespace testtoken {

// Created through CreateMutex, locked and unlocked through LockMutex and UnlockMutex,
// handed back to DestroyMutex on destruction.
class ApplicationMutex {
public:
    // Throws CryptokiError with CreateMutex's answer when it fails.
    explicit ApplicationMutex(const CK_C_INITIALIZE_ARGS& callbacks);
    ~ApplicationMutex();
    ApplicationMutex(const ApplicationMutex&) = delete;
    ApplicationMutex& operator=(const ApplicationMutex&) = delete;

    // Holds a mutex for its lifetime; holds nothing for a null mutex or when locking
    // failed, which result() then tells.
    class Hold {
    public:
        explicit Hold(ApplicationMutex* mutex) noexcept;
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        CK_RV result() const noexcept { return result_; }

    private:
        ApplicationMutex* mutex_;
        CK_RV result_ = CKR_OK;
    };

private:
    CK_DESTROYMUTEX destroy_;
    CK_LOCKMUTEX lock_;
    CK_UNLOCKMUTEX unlock_;
    CK_VOID_PTR mutex_ = nullptr;
};

}  // namespace testtoken

#endif
