// What the test process holds of the system: its threads, its open descriptors and its
// resident memory, as /proc shows them.
#pragma once

#include <chrono>
#include <string>

namespace pelion::test {

struct ProcessUsage {
    int threads = 0;
    int descriptors = 0;
    long residentKiB = 0;
};

ProcessUsage processUsage();

// Waits until the threads and descriptors are back at `before` (a worker that has posted its
// outcome may still be on its way out), at most `timeout`; the usage at the end.
ProcessUsage usageSettledAt(const ProcessUsage& before, std::chrono::milliseconds timeout);

// "threads 5, descriptors 12, resident 48312 KiB"
std::string describe(const ProcessUsage& usage);

// Resident memory means little under a sanitizer, which keeps freed memory in quarantine and
// shadows every byte.
constexpr bool cRESIDENT_MEMORY_MEANINGFUL =
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    false;
#else
    true;
#endif

}  // namespace pelion::test
