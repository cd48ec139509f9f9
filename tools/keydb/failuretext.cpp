#include "failuretext.h"

#include <cstdio>
#include <cstring>

namespace {

// The module's code for a library that could not be loaded or bound; the
// value it attaches is the platform's error, not a Cryptoki return value.
constexpr long notBound = 577003;

std::string hex(CK_RV value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(value));
    return text;
}

}  // namespace

std::string failureText(const ZEPException& failure) {
    const std::string& message = failure.getMessage().str();
    std::string details = "error " + std::to_string(failure.getCode());
    const auto* cryptoki = dynamic_cast<const ZEPPKCS11Exception*>(&failure);
    if (cryptoki && cryptoki->hasReturnValue()) {
        auto value = static_cast<long>(cryptoki->getReturnValue());
        if (failure.getCode() != notBound)
            return message + " failed: " + zep_return_value_name(cryptoki->getReturnValue()) + " (" +
                   hex(cryptoki->getReturnValue()) + ")";
        // Platforms do not always say why a load failed.
        if (value > 0) details += ", system error " + std::to_string(value) + ": " + std::strerror(static_cast<int>(value));
    }
    return message.empty() ? details : message + " (" + details + ")";
}
