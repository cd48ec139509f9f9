// A slot and the token that belongs in it.
#ifndef TESTTOKEN_SLOT_H
#define TESTTOKEN_SLOT_H

#include "token.h"

namespace testtoken {

// The token stays with its slot while removed, so reinserting it brings back its state.
class Slot {
public:
    explicit Slot(const SlotSettings& settings);

    CK_SLOT_ID id() const noexcept { return id_; }
    bool tokenPresent() const noexcept { return tokenPresent_; }
    void setTokenPresent(bool present) noexcept { tokenPresent_ = present; }

    // The token whether present or not.
    Token& token() noexcept { return token_; }
    // The token; CKR_TOKEN_NOT_PRESENT when it is removed.
    Token& presentToken();

    void describe(CK_SLOT_INFO& info) const;

private:
    CK_SLOT_ID id_;
    std::string description_;
    std::string manufacturer_;
    CK_FLAGS flags_;
    bool tokenPresent_;
    Token token_;
};

}  // namespace testtoken

#endif
