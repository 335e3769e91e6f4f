// How one case of the sweep or the soak ended. A broken promise (a false success, the vector
// table early, an incomplete application started, "Fatal Exception", an outcome posted twice or
// never) fails the case whatever the waits were; only a run that timed out or used up its
// repeats may be a loaded machine's doing and is worth another try at the real waits.
#pragma once

#include <string>
#include <utility>

namespace pelion::reliability {

struct CaseResult {
    std::string failure;  // empty when every check held
    bool timing = false;  // the failure is a run that timed out or used up its repeats

    static CaseResult held() { return {}; }
    static CaseResult breach(std::string what) { return {std::move(what), false}; }
    static CaseResult timedOut(std::string what) { return {std::move(what), true}; }
};

}  // namespace pelion::reliability
