// What the module library exports: the date-time functions, its notices and
// the host diagnostics, nothing else. Anything more could be replaced by a
// host's symbol of the same name (a createMutex of its own, say).
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>

namespace {

// The names of the defined dynamic symbols, without C++ parameter lists.
std::set<std::string> exportedNames(const std::string& library) {
    std::unique_ptr<FILE, int (*)(FILE*)> nm(popen(("nm -D --defined-only --demangle " + library).c_str(), "r"),
                                             pclose);
    std::set<std::string> names;
    char line[4096];
    while (nm && fgets(line, sizeof line, nm.get())) {
        std::string symbol(line);
        // "<address> <type> <name>", the name possibly with a parameter list.
        symbol = symbol.substr(symbol.find(' ', symbol.find(' ') + 1) + 1);
        names.insert(symbol.substr(0, symbol.find_first_of("(\n")));
    }
    return names;
}

TEST(ModuleExports, OnlyTheNamedFunctionsAndDataAreExported) {
    const std::set<std::string> expected = {
        "utc2tm", "tm2utc", "gen2utc", "utcNow", "utcNormalize", "utcCopy", "utcEQ", "utcNE", "utcLT", "utcLE",
        "utcGT", "utcGE", "strToInterval", "threadsafe_localtime", "threadsafe_gmtime", "p11_SCCSInfo",
        "p11_Copyright", "p11_getSlotAndTokenInfo", "p11_dumpMechanisms", "p11_listObjects", "p11_destroyObject",
        "p11_setObjectLabel"};
    EXPECT_EQ(exportedNames(MERVIL7_LIBRARY), expected);
}

}  // namespace
