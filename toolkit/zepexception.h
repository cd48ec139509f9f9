// Exceptions of the toolkit and of modules built on it. All are thrown by
// value and carry the source file base name, the line, a numeric code and a
// message; what() gives all of it on one line.
#ifndef MERVIL_ZEPEXCEPTION_H
#define MERVIL_ZEPEXCEPTION_H

#include <exception>
#include <string>

#include "cryptoki.h"
#include "zepstring.h"

class ZEPException : public std::exception {
public:
    ZEPException(const char* file, int line, long code, const ZEPString& message);
    // Defined in the toolkit library, so the exception types' run-time type
    // information lives there and catching works across libraries.
    ~ZEPException() override;

    const char* getFile() const { return file_.c_str(); }
    int getLine() const { return line_; }
    long getCode() const { return code_; }
    const ZEPString& getMessage() const { return message_; }
    const char* what() const noexcept override { return what_.c_str(); }

protected:
    // Rebuilds the what() line; derived classes append their own details.
    void describe(const std::string& details);

private:
    std::string file_;
    int line_;
    long code_;
    ZEPString message_;
    std::string what_;
};

// The exception classes have their destructors (and so their vtables) in
// the toolkit library: an exception a module throws must stay destroyable
// after that module is unloaded.
class ZEPASNException : public ZEPException {
public:
    using ZEPException::ZEPException;
    ~ZEPASNException() override;
};

class ZEPPKCS11Exception : public ZEPException {
public:
    ZEPPKCS11Exception(const char* file, int line, long code, const ZEPString& message);
    ZEPPKCS11Exception(const char* file, int line, long code, const ZEPString& message, CK_RV returnValue);
    ~ZEPPKCS11Exception() override;

    bool hasReturnValue() const { return hasReturnValue_; }
    // CKR_OK when no return value is attached.
    CK_RV getReturnValue() const { return returnValue_; }

private:
    bool hasReturnValue_;
    CK_RV returnValue_;
};

// The standard's name of a Cryptoki return value ("CKR_PIN_INCORRECT"), or
// "CKR_VENDOR_DEFINED" / "unknown return value" for values it does not name.
const char* zep_return_value_name(CK_RV value);

#endif
