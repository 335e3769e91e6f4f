// What a case of the sweep or the soak counts as when it fails with the shortened waits: a
// broken promise fails at once, only a slow run is tried again at the real waits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/link_timing.h"
#include "reliability/case_runner.h"

namespace pelion::reliability {
namespace {

struct RunCaseCase {
    const char* what;
    CaseResult shortened;  // with the waits divided
    CaseResult real;       // at the real waits
    const char* status;
    int runs;
};

const RunCaseCase cCASES[] = {
    {"held", CaseResult::held(), CaseResult::held(), "ok", 1},
    {"a false success with short waits only", CaseResult::breach("FALSE SUCCESS"),
     CaseResult::held(), "FAIL", 1},
    {"the vector table early with short waits only",
     CaseResult::breach("the vector table was written before the rest of the image"),
     CaseResult::held(), "FAIL", 1},
    {"a time-out with short waits only", CaseResult::timedOut("did not end"), CaseResult::held(),
     "retimed", 2},
    {"a time-out at both waits", CaseResult::timedOut("did not end"),
     CaseResult::timedOut("did not end"), "FAIL", 2},
    {"a time-out, then a breach at the real waits", CaseResult::timedOut("did not end"),
     CaseResult::breach("FALSE SUCCESS"), "FAIL", 2},
};

TEST(ReliabilityCase, OnlyASlowRunIsTriedAgainAtTheRealWaits) {
    for (const auto& c : cCASES) {
        std::vector<int> divisors;
        const CaseVerdict v = runCase(20, [&] {
            divisors.push_back(linkTimeDivisor());
            return divisors.size() == 1 ? c.shortened : c.real;
        });
        EXPECT_STREQ(v.status, c.status) << c.what;
        ASSERT_EQ(divisors.size(), static_cast<std::size_t>(c.runs)) << c.what;
        EXPECT_EQ(divisors.front(), 20) << c.what;
        if (c.runs == 2) {
            EXPECT_EQ(divisors.back(), 1) << c.what;
        }
        // The first failure is never dropped, retimed or not.
        EXPECT_EQ(v.failure.find(c.shortened.failure), 0u) << c.what;
    }
}

TEST(ReliabilityCase, AtTheRealWaitsAFailureIsNotTriedAgain) {
    int runs = 0;
    const CaseVerdict v = runCase(1, [&] {
        ++runs;
        return CaseResult::timedOut("did not end");
    });
    EXPECT_STREQ(v.status, "FAIL");
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace pelion::reliability
