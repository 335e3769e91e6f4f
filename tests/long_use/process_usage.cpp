#include "tests/long_use/process_usage.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace pelion::test {

namespace {

int entriesOf(const char* folder) {
    std::filesystem::directory_iterator entries(folder);
    return static_cast<int>(std::distance(begin(entries), end(entries)));
}

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long sizePages = 0;
    long residentPages = 0;
    statm >> sizePages >> residentPages;
    return residentPages * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

ProcessUsage processUsage() {
    // The iterator over /proc/self/fd holds a descriptor of its own while it counts; it is
    // counted every time alike.
    return {entriesOf("/proc/self/task"), entriesOf("/proc/self/fd"), residentKiB()};
}

ProcessUsage usageSettledAt(const ProcessUsage& before, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const ProcessUsage now = processUsage();
        const bool settled = now.threads == before.threads && now.descriptors == before.descriptors;
        if (settled || std::chrono::steady_clock::now() >= deadline) {
            return now;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string describe(const ProcessUsage& usage) {
    return "threads " + std::to_string(usage.threads) + ", descriptors " +
           std::to_string(usage.descriptors) + ", resident " + std::to_string(usage.residentKiB) +
           " KiB";
}

}  // namespace pelion::test
