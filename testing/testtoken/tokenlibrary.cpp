#include "tokenlibrary.h"

namespace testtoken {

TokenLibrary& TokenLibrary::instance() {
    // Never destroyed: code under test may still call in while the process exits.
    static TokenLibrary* const library = new TokenLibrary;
    return *library;
}

CK_RV TokenLibrary::log(const CallRecorder& call, CK_RV result) {
    state_.calls.push_back(call.record(result));
    return result;
}

}  // namespace testtoken
