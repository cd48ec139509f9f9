#include "functiontable.h"

#include "callrecorder.h"
#include "entrypoints.h"
#include "tokenlibrary.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>

namespace testtoken {

namespace {

// A function name as a template argument.
template <std::size_t N>
struct FunctionName {
    constexpr FunctionName(const char (&name)[N]) { std::copy_n(name, N, text); }
    char text[N];
};

// A function the token does not answer: logged, and CKR_FUNCTION_NOT_SUPPORTED
// once initialised.
template <FunctionName Name, typename Pointer>
struct Unsupported;

template <FunctionName Name, typename... Args>
struct Unsupported<Name, CK_RV (*)(Args...)> {
    static CK_RV answer(Args...) {
        return TokenLibrary::run(CallRecorder(Name.text), [](LibraryState&) { return CKR_FUNCTION_NOT_SUPPORTED; });
    }
};

CK_FUNCTION_LIST fullList() {
    CK_FUNCTION_LIST list{};
    list.version = {2, 40};
#define TESTTOKEN_SET_ANSWERED(name) list.name = api::name;
#define TESTTOKEN_SET_UNSUPPORTED(name) list.name = Unsupported<#name, decltype(list.name)>::answer;
    TESTTOKEN_FUNCTIONS(TESTTOKEN_SET_ANSWERED, TESTTOKEN_SET_UNSUPPORTED)
#undef TESTTOKEN_SET_ANSWERED
#undef TESTTOKEN_SET_UNSUPPORTED
    return list;
}

void clearEntry(CK_FUNCTION_LIST& list, std::string_view name) {
#define TESTTOKEN_CLEAR_IF_NAMED(entry) \
    if (name == #entry) {               \
        list.entry = nullptr;           \
    }
    TESTTOKEN_FUNCTIONS(TESTTOKEN_CLEAR_IF_NAMED, TESTTOKEN_CLEAR_IF_NAMED)
#undef TESTTOKEN_CLEAR_IF_NAMED
}

#define TESTTOKEN_NAME(name) #name,
constexpr std::string_view functionNames[] = {TESTTOKEN_FUNCTIONS(TESTTOKEN_NAME, TESTTOKEN_NAME)};
#undef TESTTOKEN_NAME

}  // namespace

bool FunctionTable::isFunction(std::string_view name) {
    return std::find(std::begin(functionNames), std::end(functionNames), name) != std::end(functionNames);
}

CK_FUNCTION_LIST* FunctionTable::without(const std::set<std::string>& removed) {
    // Never destroyed, like the library: handed-out lists must outlive every caller.
    static auto* const lists = new std::map<std::set<std::string>, std::unique_ptr<CK_FUNCTION_LIST>>;
    std::unique_ptr<CK_FUNCTION_LIST>& list = (*lists)[removed];
    if (!list) {
        list = std::make_unique<CK_FUNCTION_LIST>(fullList());
        for (const std::string& name : removed) {
            clearEntry(*list, name);
        }
    }
    return list.get();
}

}  // namespace testtoken
