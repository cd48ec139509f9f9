#include "faultplan.h"

namespace testtoken {

void FaultPlan::failOnCall(const std::string& function, CK_RV result, unsigned callNumber) {
    faults_[function].push_back({result, callNumber});
}

void FaultPlan::failAlways(const std::string& function, CK_RV result) {
    faults_[function].push_back({result, std::nullopt});
}

std::optional<CK_RV> FaultPlan::take(std::string_view function) {
    const auto found = faults_.find(function);
    if (found == faults_.end()) {
        return std::nullopt;
    }
    std::optional<CK_RV> due;
    for (Fault& fault : found->second) {
        const bool now = !fault.callsLeft || --*fault.callsLeft == 0;
        if (now && !due) {
            due = fault.result;
        }
    }
    std::erase_if(found->second, [](const Fault& fault) { return fault.callsLeft == 0u; });
    return due;
}

}  // namespace testtoken
