// The function lists C_GetFunctionList hands out.
#ifndef TESTTOKEN_FUNCTIONTABLE_H
#define TESTTOKEN_FUNCTIONTABLE_H

#include "cryptoki.h"

#include <set>
#include <string>
#include <string_view>

namespace testtoken {

// The full list has an entry for every function; those the token does not answer
// yet return CKR_FUNCTION_NOT_SUPPORTED. Each distinct list is built once and kept
// for the life of the process, so a pointer handed out stays valid whatever tests
// change afterwards.
class FunctionTable {
public:
    FunctionTable() = delete;

    static bool isFunction(std::string_view name);

    // The list with null entries for the named functions. Callers serialise calls
    // (the library mutex).
    static CK_FUNCTION_LIST* without(const std::set<std::string>& removed);
};

}  // namespace testtoken

#endif
