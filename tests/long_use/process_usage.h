// What the test process holds of the system: its threads, its open descriptors and its
// resident memory, as /proc shows them.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace pelion::test {

struct ProcessUsage {
    int threads = 0;
    int descriptors = 0;
    long residentKiB = 0;
};

ProcessUsage processUsage();

// "threads 5, descriptors 12, resident 48312 KiB"
std::string describe(const ProcessUsage& usage);

// Watches the usage over a long series of runs: each run must give back the threads and
// descriptors it took, and resident memory must stay flat after the warm-up runs. Memory is
// read after every run; its growth over the second half of the runs, per run, is bounded so
// that a leak of 16 KiB a run fails at the counts of ./run test, while the allocator's
// occasional step of a page or a heap extension does not.
class UsageWatch {
public:
    static constexpr std::size_t cWARM_UP_RUNS = 20;
    static constexpr std::size_t cLEAST_RUNS = 2 * cWARM_UP_RUNS;
    static constexpr double cMOST_GROWTH_PER_RUN_KIB = 10;

    UsageWatch();
    void runStarts();
    // Waits for the threads and descriptors of before the run (a worker that has posted its
    // outcome may still be on its way out) and expects them back.
    void runEnded();
    // After the last run: the figures on standard output, then the memory check (which fails
    // with fewer than cLEAST_RUNS runs where memory is meaningful).
    void finish(const std::string& what);

private:
    std::chrono::steady_clock::time_point began_;
    ProcessUsage first_;
    ProcessUsage before_;
    ProcessUsage last_;
    std::vector<long> residentAfterRun_;  // KiB, one entry per run
};

// Growth of resident memory per run between the middle of the series and its end, each end
// taken as the median of five readings so that one reading out of line moves neither.
double growthPerRunKiB(const std::vector<long>& residentAfterRun);

// Resident memory means little under a sanitizer, which keeps freed memory in quarantine and
// shadows every byte.
constexpr bool cRESIDENT_MEMORY_MEANINGFUL =
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    false;
#else
    true;
#endif

}  // namespace pelion::test
