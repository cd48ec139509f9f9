#include "testtoken/testtokencontrol.h"

#include <stdexcept>

namespace testtoken {

CK_ULONG CallRecord::arg(const std::string& name) const {
    const auto found = args.find(name);
    if (found == args.end()) {
        throw std::out_of_range(function + " has no argument " + name);
    }
    return found->second;
}

bool CallRecord::has(const std::string& name) const { return args.contains(name); }

}  // namespace testtoken
