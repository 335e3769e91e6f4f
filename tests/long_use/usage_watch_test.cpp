// The memory bound of the long-use tests at the counts of ./run test: a leak of 16 KiB a run
// breaks it, the allocator's single steps and a reading out of line do not.
#include <gtest/gtest.h>

#include <vector>

#include "tests/long_use/process_usage.h"

namespace pelion::test {
namespace {

// Resident memory after each of `runs` runs: `perRun` KiB more every run, `step` KiB more from
// run `stepAt` on, and one reading `spike` KiB high at run `spikeAt`.
std::vector<long> series(std::size_t runs, long perRun, std::size_t stepAt = 0, long step = 0,
                         std::size_t spikeAt = 0, long spike = 0) {
    std::vector<long> resident;
    for (std::size_t run = 0; run < runs; ++run) {
        long kib = 36000 + perRun * static_cast<long>(run);
        kib += run >= stepAt ? step : 0;
        kib += run == spikeAt ? spike : 0;
        resident.push_back(kib);
    }
    return resident;
}

struct MemoryCase {
    const char* what;
    std::vector<long> resident;
    bool withinBound;
};

TEST(LongUseMemory, ALeakOf16KiBARunBreaksTheBoundAtTheCountsOfTheTestStage) {
    const MemoryCase cases[] = {
        {"flat, window count", series(40, 0), true},
        {"flat, command-line count", series(48, 0), true},
        {"the recorded growth, about 1 KiB a run", series(40, 1), true},
        {"one heap extension of 132 KiB late in the series", series(40, 0, 30, 132), true},
        {"one reading 2 MiB high at the end", series(40, 0, 0, 0, 39, 2048), true},
        {"a leak of 16 KiB a run, window count", series(40, 16), false},
        {"a leak of 16 KiB a run, command-line count", series(48, 16), false},
        {"a leak of 16 KiB a run beside a heap extension", series(48, 16, 20, 132), false},
    };
    for (const MemoryCase& c : cases) {
        EXPECT_EQ(growthPerRunKiB(c.resident) <= UsageWatch::cMOST_GROWTH_PER_RUN_KIB,
                  c.withinBound)
            << c.what << ": " << growthPerRunKiB(c.resident) << " KiB a run";
    }
}

}  // namespace
}  // namespace pelion::test
