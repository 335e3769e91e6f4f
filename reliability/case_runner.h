// Runs one case of the sweep or the soak with the shortened waits and decides what it counts
// as: "ok", "retimed" (it timed out or used up its repeats there and passed at the real waits)
// or "FAIL". Every broken promise fails at once; a retimed case keeps its first failure.
#pragma once

#include <functional>
#include <string>

#include "reliability/case_result.h"

namespace pelion::reliability {

struct CaseVerdict {
    const char* status;   // "ok", "retimed" or "FAIL"
    std::string failure;  // the first failure, and for a case tried again what that one said
};

CaseVerdict runCase(int divisor, const std::function<CaseResult()>& run);

}  // namespace pelion::reliability
