#include "faultplan.h"

namespace testtoken {

void FaultPlan::failOnCall(const std::string& function, CK_RV result, unsigned callNumber, Timing timing,
                           bool sessionLost) {
    faults_[function].push_back({{result, timing, sessionLost}, callNumber});
}

void FaultPlan::failAlways(const std::string& function, CK_RV result) {
    faults_[function].push_back({{result, Timing::instead, false}, std::nullopt});
}

std::optional<FaultPlan::Due> FaultPlan::take(std::string_view function) {
    const auto found = faults_.find(function);
    if (found == faults_.end()) {
        return std::nullopt;
    }
    std::optional<Due> due;
    for (Fault& fault : found->second) {
        const bool now = !fault.callsLeft || --*fault.callsLeft == 0;
        if (now && !due) {
            due = fault.due;
        }
    }
    std::erase_if(found->second, [](const Fault& fault) { return fault.callsLeft == 0u; });
    return due;
}

}  // namespace testtoken
