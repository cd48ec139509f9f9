#include "raw/rawcryptoki.h"

#include <stdexcept>

#include "zepexception.h"

RawCryptoki::RawCryptoki(const std::string& path) : library_(path) {
    auto getFunctionList = reinterpret_cast<CK_C_GetFunctionList>(library_.symbol("C_GetFunctionList"));
    check(getFunctionList(&functions_), "C_GetFunctionList");
    if (!functions_) throw std::runtime_error("C_GetFunctionList of " + path + " gave no function list");
    const CK_RV initialised = functions_->C_Initialize(nullptr);
    if (initialised == CKR_CRYPTOKI_ALREADY_INITIALIZED) return;
    check(initialised, "C_Initialize");
    finalize_ = true;
}

RawCryptoki::~RawCryptoki() {
    if (finalize_) functions_->C_Finalize(nullptr);
}

void RawCryptoki::check(CK_RV value, const char* function) {
    if (value != CKR_OK) throw std::runtime_error(std::string(function) + " failed: " + zep_return_value_name(value));
}
