#include "choice/pinstate.h"

namespace {

// The user PIN flags of CK_TOKEN_INFO.
constexpr CK_FLAGS userPinCountLow = 0x00010000UL;
constexpr CK_FLAGS userPinFinalTry = 0x00020000UL;
constexpr CK_FLAGS userPinLocked = 0x00040000UL;

}  // namespace

bool PinState::locked() const { return flags_ & userPinLocked; }

std::string PinState::words() const {
    if (flags_ & userPinLocked) return "the user PIN is locked (CKF_USER_PIN_LOCKED)";
    if (flags_ & userPinFinalTry) return "one more wrong user PIN locks it (CKF_USER_PIN_FINAL_TRY)";
    if (flags_ & userPinCountLow) return "the token has counted wrong user PINs (CKF_USER_PIN_COUNT_LOW)";
    return "";
}
