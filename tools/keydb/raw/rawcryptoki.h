// A Cryptoki library loaded for direct calls, beside whatever else in the
// process uses it. When the library is initialised already (by the module
// in the same process, say) it is used as it is and left initialised;
// otherwise it is finalised again when this object goes.
#ifndef KEYDB_RAWCRYPTOKI_H
#define KEYDB_RAWCRYPTOKI_H

#include <string>

#include "cryptoki.h"
#include "raw/loadedlibrary.h"

class RawCryptoki {
public:
    // Throws std::runtime_error when the library cannot be loaded or
    // initialised.
    explicit RawCryptoki(const std::string& path);
    ~RawCryptoki();
    RawCryptoki(const RawCryptoki&) = delete;
    RawCryptoki& operator=(const RawCryptoki&) = delete;

    const CK_FUNCTION_LIST& functions() const { return *functions_; }

    // Throws std::runtime_error naming `function` and the return value
    // unless `value` is CKR_OK.
    static void check(CK_RV value, const char* function);

private:
    LoadedLibrary library_;
    CK_FUNCTION_LIST* functions_ = nullptr;
    bool finalize_ = false;
};

#endif
