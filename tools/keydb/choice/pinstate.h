// What a token's flags say about its user PIN: wrong PINs counted, one try
// left, locked. keydb tries no PIN on a locked token, warns before trying
// one when wrong ones were counted, and says what a wrong one left.
#ifndef KEYDB_PINSTATE_H
#define KEYDB_PINSTATE_H

#include <string>

#include "cryptoki.h"

class PinState {
public:
    explicit PinState(CK_FLAGS tokenFlags) : flags_(tokenFlags) {}

    bool locked() const;
    // "the user PIN is locked (CKF_USER_PIN_LOCKED)", "one more wrong user
    // PIN locks it (CKF_USER_PIN_FINAL_TRY)", "the token has counted wrong
    // user PINs (CKF_USER_PIN_COUNT_LOW)"; empty when no flag is set.
    std::string words() const;

private:
    CK_FLAGS flags_;
};

#endif
