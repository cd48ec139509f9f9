#include "io/failuretext.h"

#include <cstdio>
#include <map>

#include "asn/asn_error.h"

namespace {

std::string hex(CK_RV value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(value));
    return text;
}

// What the module's and the ASN.1 model's codes mean, for failures that
// carry no message of their own.
std::string meaning(long code) {
    static const std::map<long, const char*> meanings = {
        {571002, "bad argument"},
        {571003, "list index out of range"},
        {571004, "not supported: a Cryptoki function, key class, key type or key format"},
        {577003, "the Cryptoki library is not bound"},
        {577004, "the key belongs to another token"},
        {577005, "the key object is not on the token"},
        {577006, "the key object is of another class than public or private"},
        {577007, "login required, or the token is write protected"},
        {577008, "no token in the slot"},
        {577009, "an object of the same class has the label"},
        {577010, "the same certificate is on the token"},
        {577011, "the key is on the token"},
        {577012, "the same certificate, with another signature, is on the token"},
        {577013, "a certificate with the same issuer and serial number is on the token"},
    };
    const auto known = meanings.find(code);
    if (known != meanings.end()) return known->second;
    if (code >= ASN_TRUNCATED && code <= ASN_BAD_ARGUMENT) return asn_error_text(static_cast<int>(code));
    return "failure";
}

}  // namespace

std::string failureText(const ZEPException& failure) {
    const std::string& message = failure.getMessage().str();
    const auto* cryptoki = dynamic_cast<const ZEPPKCS11Exception*>(&failure);
    if (cryptoki && cryptoki->hasReturnValue())
        return message + " failed: " + zep_return_value_name(cryptoki->getReturnValue()) + " (" +
               hex(cryptoki->getReturnValue()) + ")";
    return (message.empty() ? meaning(failure.getCode()) : message) + " (error " + std::to_string(failure.getCode()) +
           ")";
}
