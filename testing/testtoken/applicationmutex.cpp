#include "applicationmutex.h"

#include "cryptokierror.h"

namespace testtoken {

ApplicationMutex::ApplicationMutex(const CK_C_INITIALIZE_ARGS& callbacks)
    : destroy_(callbacks.DestroyMutex), lock_(callbacks.LockMutex), unlock_(callbacks.UnlockMutex) {
    const CK_RV result = callbacks.CreateMutex(&mutex_);
    if (result != CKR_OK) {
        throw CryptokiError(result);
    }
}

ApplicationMutex::~ApplicationMutex() { destroy_(mutex_); }

ApplicationMutex::Hold::Hold(ApplicationMutex* mutex) noexcept : mutex_(mutex) {
    if (mutex_ != nullptr) {
        result_ = mutex_->lock_(mutex_->mutex_);
        if (result_ != CKR_OK) {
            mutex_ = nullptr;
        }
    }
}

ApplicationMutex::Hold::~Hold() {
    if (mutex_ != nullptr) {
        mutex_->unlock_(mutex_->mutex_);
    }
}

}  // namespace testtoken
