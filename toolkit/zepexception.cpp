#include "zepexception.h"

#include <cstdio>

ZEPException::ZEPException(const char* file, int line, long code, const ZEPString& message)
    : file_(file ? file : ""), line_(line), code_(code), message_(message) {
    describe(std::string());
}

ZEPException::~ZEPException() = default;
ZEPASNException::~ZEPASNException() = default;
ZEPPKCS11Exception::~ZEPPKCS11Exception() = default;

void ZEPException::describe(const std::string& details) {
    what_ = file_ + ":" + std::to_string(line_) + ": error " + std::to_string(code_);
    if (!message_.empty()) what_ += ": " + message_.str();
    what_ += details;
}

ZEPPKCS11Exception::ZEPPKCS11Exception(const char* file, int line, long code, const ZEPString& message)
    : ZEPException(file, line, code, message), hasReturnValue_(false), returnValue_(CKR_OK) {}

ZEPPKCS11Exception::ZEPPKCS11Exception(const char* file, int line, long code, const ZEPString& message,
                                       CK_RV returnValue)
    : ZEPException(file, line, code, message), hasReturnValue_(true), returnValue_(returnValue) {
    // Only the number: loaders carry platform error values here, which a
    // Cryptoki name would misdescribe.
    char details[40];
    std::snprintf(details, sizeof details, " (return value 0x%lX)", static_cast<unsigned long>(returnValue));
    describe(details);
}
