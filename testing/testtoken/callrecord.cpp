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

const Bytes& CallRecord::input(const std::string& name) const {
    const auto found = inputs.find(name);
    if (found == inputs.end()) {
        throw std::out_of_range(function + " has no input " + name);
    }
    return found->second;
}

bool CallRecord::has(const std::string& name) const { return args.contains(name); }

}  // namespace testtoken
