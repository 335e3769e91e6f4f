// What the test process holds of the system: its threads, its open descriptors and its
// resident memory, as /proc shows them.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

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
// descriptors it took, and resident memory must stay flat after the warm-up runs.
class UsageWatch {
public:
    static constexpr std::size_t cWARM_UP_RUNS = 20;
    static constexpr long cMOST_GROWTH_KIB = 2048;

    UsageWatch();
    void runStarts();
    // Waits for the threads and descriptors of before the run (a worker that has posted its
    // outcome may still be on its way out) and expects them back.
    void runEnded();
    // After the last run: the figures on standard output, then the memory check.
    void finish(const std::string& what);

private:
    std::chrono::steady_clock::time_point began_;
    ProcessUsage first_;
    ProcessUsage before_;
    ProcessUsage last_;
    std::size_t runs_ = 0;
    long residentAfterWarmUp_ = 0;
};

// Resident memory means little under a sanitizer, which keeps freed memory in quarantine and
// shadows every byte.
constexpr bool cRESIDENT_MEMORY_MEANINGFUL =
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    false;
#else
    true;
#endif

}  // namespace pelion::test
