#include "token.h"

#include "arguments.h"
#include "cryptokierror.h"

namespace testtoken {

namespace {

constexpr std::size_t labelLength = sizeof(CK_TOKEN_INFO::label);
constexpr CK_VERSION tokenVersion{1, 0};

}  // namespace

const CK_MECHANISM_INFO& Token::mechanism(CK_MECHANISM_TYPE type) const {
    const auto found = settings_.mechanisms.find(type);
    if (found == settings_.mechanisms.end()) {
        throw CryptokiError(CKR_MECHANISM_INVALID);
    }
    return found->second;
}

StandInBytes& Token::generator() {
    if (!has(CKF_RNG)) {
        throw CryptokiError(CKR_RANDOM_NO_RNG);
    }
    return generator_;
}

void Token::describe(CK_TOKEN_INFO& info) const {
    info = {};
    fillPadded(info.label, settings_.label);
    fillPadded(info.manufacturerID, settings_.manufacturer);
    fillPadded(info.model, settings_.model);
    fillPadded(info.serialNumber, settings_.serialNumber);
    info.flags = settings_.flags;
    info.ulMaxSessionCount = CK_EFFECTIVELY_INFINITE;
    info.ulMaxRwSessionCount = CK_EFFECTIVELY_INFINITE;
    info.ulMaxPinLen = settings_.maxPinLength;
    info.ulMinPinLen = settings_.minPinLength;
    info.ulTotalPublicMemory = CK_UNAVAILABLE_INFORMATION;
    info.ulFreePublicMemory = CK_UNAVAILABLE_INFORMATION;
    info.ulTotalPrivateMemory = CK_UNAVAILABLE_INFORMATION;
    info.ulFreePrivateMemory = CK_UNAVAILABLE_INFORMATION;
    info.hardwareVersion = tokenVersion;
    info.firmwareVersion = tokenVersion;
    fillPadded(info.utcTime, "");
}

void Token::login(CK_USER_TYPE userType, const PinInput& pin, bool readOnlySessions) {
    if (userType != CKU_SO && userType != CKU_USER) {
        throw CryptokiError(CKR_USER_TYPE_INVALID);
    }
    if (user_) {
        throw CryptokiError(*user_ == userType ? CKR_USER_ALREADY_LOGGED_IN : CKR_USER_ANOTHER_ALREADY_LOGGED_IN);
    }
    if (userType == CKU_SO && readOnlySessions) {
        throw CryptokiError(CKR_SESSION_READ_ONLY_EXISTS);
    }
    if (userType == CKU_USER && !has(CKF_USER_PIN_INITIALIZED)) {
        throw CryptokiError(CKR_USER_PIN_NOT_INITIALIZED);
    }
    verify(userType == CKU_SO ? settings_.soPin : settings_.userPin, pin);
    user_ = userType;
}

void Token::logout() {
    if (!user_) {
        throw CryptokiError(CKR_USER_NOT_LOGGED_IN);
    }
    user_.reset();
}

void Token::initialize(const PinInput& soPin, const CK_UTF8CHAR* label) {
    if (writeProtected()) {
        throw CryptokiError(CKR_TOKEN_WRITE_PROTECTED);
    }
    if (has(CKF_TOKEN_INITIALIZED)) {
        verify(settings_.soPin, soPin);
    } else {
        replace(settings_.soPin, soPin);
    }
    std::string_view padded(reinterpret_cast<const char*>(label), labelLength);
    settings_.label = padded.substr(0, padded.find_last_not_of(' ') + 1);
    settings_.flags = (settings_.flags | CKF_TOKEN_INITIALIZED) & ~CKF_USER_PIN_INITIALIZED;
    settings_.userPin.clear();
    objects_.clear();
}

void Token::initUserPin(const PinInput& pin) {
    replace(settings_.userPin, pin);
    settings_.flags |= CKF_USER_PIN_INITIALIZED;
}

void Token::changePin(const PinInput& oldPin, const PinInput& newPin) {
    const CK_USER_TYPE owner = user_.value_or(CKU_USER);
    if (owner == CKU_USER && !has(CKF_USER_PIN_INITIALIZED)) {
        throw CryptokiError(CKR_USER_PIN_NOT_INITIALIZED);
    }
    std::string& stored = owner == CKU_SO ? settings_.soPin : settings_.userPin;
    verify(stored, oldPin);
    replace(stored, newPin);
}

void Token::verify(const std::string& stored, const PinInput& pin) const {
    if (pin.onPad()) {
        requirePad();
    } else if (pin.text() != stored) {
        throw CryptokiError(CKR_PIN_INCORRECT);
    }
}

void Token::replace(std::string& stored, const PinInput& pin) const {
    if (pin.onPad()) {
        requirePad();
        return;
    }
    const std::size_t length = pin.text().size();
    if (length < settings_.minPinLength || length > settings_.maxPinLength) {
        throw CryptokiError(CKR_PIN_LEN_RANGE);
    }
    stored = pin.text();
}

void Token::requirePad() const {
    if (!has(CKF_PROTECTED_AUTHENTICATION_PATH)) {
        throw CryptokiError(CKR_ARGUMENTS_BAD);
    }
}

}  // namespace testtoken
