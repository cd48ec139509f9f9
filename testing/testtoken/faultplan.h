// Return values injected by tests into Cryptoki calls.
#ifndef TESTTOKEN_FAULTPLAN_H
#define TESTTOKEN_FAULTPLAN_H

#include "cryptoki.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testtoken {

// Per function, failures due once on a later call or on every call. Several may be
// planned for one function; when two fall due on the same call the earlier planned wins.
class FaultPlan {
public:
    // Whether the failing call answers at once or after doing its work.
    enum class Timing { instead, afterWork };

    struct Due {
        CK_RV result;
        Timing timing;
        // The failing call's session is closed, as by a token that lost it.
        bool sessionLost;
    };

    void failOnCall(const std::string& function, CK_RV result, unsigned callNumber, Timing timing,
                    bool sessionLost);
    void failAlways(const std::string& function, CK_RV result);

    // Counts a call of the function and gives the failure due on it, if any.
    std::optional<Due> take(std::string_view function);

private:
    struct Fault {
        Due due;
        std::optional<unsigned> callsLeft;  // none: every call
    };

    std::map<std::string, std::vector<Fault>, std::less<>> faults_;
};

}  // namespace testtoken

#endif
