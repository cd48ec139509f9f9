// Ends a Cryptoki call early with a return value.
#ifndef TESTTOKEN_CRYPTOKIERROR_H
#define TESTTOKEN_CRYPTOKIERROR_H

#include "cryptoki.h"

#include <exception>

namespace testtoken {

// Thrown inside the token when a call cannot go on; TokenLibrary::run turns it into
// the call's return value, so it never leaves the library.
class CryptokiError : public std::exception {
public:
    explicit CryptokiError(CK_RV result) noexcept : result_(result) {}
    CK_RV result() const noexcept { return result_; }
    const char* what() const noexcept override { return "Cryptoki call failed"; }

private:
    CK_RV result_;
};

}  // namespace testtoken

#endif
