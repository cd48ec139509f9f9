#include "io/failuretext.h"

#include <cstdio>

namespace {

std::string hex(CK_RV value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(value));
    return text;
}

}  // namespace

std::string failureText(const ZEPException& failure) {
    const std::string& message = failure.getMessage().str();
    const auto* cryptoki = dynamic_cast<const ZEPPKCS11Exception*>(&failure);
    if (cryptoki && cryptoki->hasReturnValue())
        return message + " failed: " + zep_return_value_name(cryptoki->getReturnValue()) + " (" +
               hex(cryptoki->getReturnValue()) + ")";
    std::string code = "error " + std::to_string(failure.getCode());
    return message.empty() ? code : message + " (" + code + ")";
}
