#include "reliability/case_runner.h"

#include "link/link_timing.h"

namespace pelion::reliability {

CaseVerdict runCase(int divisor, const std::function<CaseResult()>& run) {
    setLinkTimeDivisor(divisor);
    const CaseResult first = run();
    if (first.failure.empty()) {
        return {"ok", {}};
    }
    if (!first.timing || divisor <= 1) {
        return {"FAIL", first.failure};
    }
    setLinkTimeDivisor(1);
    const CaseResult again = run();
    setLinkTimeDivisor(divisor);
    if (again.failure.empty()) {
        return {"retimed", first.failure};
    }
    return {"FAIL", first.failure + "; at the real waits: " + again.failure};
}

}  // namespace pelion::reliability
