// A token: its settings, PINs, mechanisms, objects and who is logged in to it.
#ifndef TESTTOKEN_TOKEN_H
#define TESTTOKEN_TOKEN_H

#include "objectstore.h"
#include "standinbytes.h"
#include "testtoken/testtokencontrol.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace testtoken {

// A PIN argument: its bytes, or null for a PIN typed on the token's own pad.
class PinInput {
public:
    PinInput(const CK_UTF8CHAR* pin, CK_ULONG length) noexcept : pin_(pin), length_(length) {}
    bool onPad() const noexcept { return pin_ == nullptr; }
    std::string_view text() const noexcept { return {reinterpret_cast<const char*>(pin_), length_}; }

private:
    const CK_UTF8CHAR* pin_;
    CK_ULONG length_;
};

// Login state belongs to the token and is shared by all its sessions. Failures
// throw CryptokiError with the standard's return value.
class Token {
public:
    explicit Token(TokenSettings settings) : settings_(std::move(settings)) {}

    const TokenSettings& settings() const noexcept { return settings_; }
    void setMechanisms(const MechanismTable& mechanisms) { settings_.mechanisms = mechanisms; }
    const CK_MECHANISM_INFO& mechanism(CK_MECHANISM_TYPE type) const;
    bool writeProtected() const noexcept { return (settings_.flags & CKF_WRITE_PROTECTED) != 0; }

    ObjectStore& objects() noexcept { return objects_; }

    // The token's random-number generator, the same sequence on every new token:
    // CKR_RANDOM_NO_RNG on a token without CKF_RNG.
    StandInBytes& generator();

    // Everything but the session counts, which belong to the session table.
    void describe(CK_TOKEN_INFO& info) const;

    std::optional<CK_USER_TYPE> user() const noexcept { return user_; }
    // readOnlySessions: whether the token has read-only sessions, which bar the SO.
    void login(CK_USER_TYPE userType, const PinInput& pin, bool readOnlySessions);
    void logout();
    // When the token's last session closes.
    void forgetLogin() noexcept { user_.reset(); }

    // C_InitToken: the SO PIN is checked (or set, on a token never initialised), the
    // label is the 32 bytes given, and the user PIN and all objects are gone.
    void initialize(const PinInput& soPin, const CK_UTF8CHAR* label);
    // C_InitPIN; the caller has checked that the SO is logged in.
    void initUserPin(const PinInput& pin);
    // C_SetPIN: changes the PIN of whoever is logged in, else the user's.
    void changePin(const PinInput& oldPin, const PinInput& newPin);

private:
    void verify(const std::string& stored, const PinInput& pin) const;
    void replace(std::string& stored, const PinInput& pin) const;
    void requirePad() const;
    bool has(CK_FLAGS flag) const noexcept { return (settings_.flags & flag) != 0; }

    TokenSettings settings_;
    std::optional<CK_USER_TYPE> user_;
    ObjectStore objects_;
    StandInBytes generator_{0x5EED};
};

}  // namespace testtoken

#endif
