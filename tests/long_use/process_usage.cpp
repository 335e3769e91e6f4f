#include "tests/long_use/process_usage.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace pelion::test {

namespace {

// How long a worker that has posted its outcome gets to leave.
constexpr std::chrono::seconds cSETTLE_LIMIT{10};

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

std::string describe(const ProcessUsage& usage) {
    return "threads " + std::to_string(usage.threads) + ", descriptors " +
           std::to_string(usage.descriptors) + ", resident " + std::to_string(usage.residentKiB) +
           " KiB";
}

UsageWatch::UsageWatch() : began_(std::chrono::steady_clock::now()) {
    // ThreadSanitizer starts a thread of its own with the first thread the program starts;
    // it must be there before the counting begins.
    std::thread([] {}).join();
    first_ = last_ = processUsage();
}

void UsageWatch::runStarts() {
    before_ = processUsage();
}

void UsageWatch::runEnded() {
    const auto deadline = std::chrono::steady_clock::now() + cSETTLE_LIMIT;
    for (;;) {
        last_ = processUsage();
        const bool settled =
            last_.threads == before_.threads && last_.descriptors == before_.descriptors;
        if (settled || std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(last_.threads, before_.threads);
    EXPECT_EQ(last_.descriptors, before_.descriptors);
    residentAfterRun_.push_back(last_.residentKiB);
}

double growthPerRunKiB(const std::vector<long>& residentAfterRun) {
    const auto medianAround = [&](std::size_t centre) {
        std::vector<long> five(residentAfterRun.begin() + static_cast<long>(centre) - 2,
                               residentAfterRun.begin() + static_cast<long>(centre) + 3);
        std::nth_element(five.begin(), five.begin() + 2, five.end());
        return five[2];
    };
    const std::size_t middle = residentAfterRun.size() / 2;
    const std::size_t end = residentAfterRun.size() - 3;
    return static_cast<double>(medianAround(end) - medianAround(middle)) /
           static_cast<double>(end - middle);
}

void UsageWatch::finish(const std::string& what) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
    const std::size_t runs = residentAfterRun_.size();
    std::printf("%s, %zu runs in %.0f s: before the first %s; after the last %s\n", what.c_str(),
                runs, seconds, describe(first_).c_str(), describe(last_).c_str());
    if (!cRESIDENT_MEMORY_MEANINGFUL) {
        std::printf("%s: resident memory not checked under a sanitizer\n", what.c_str());
        return;
    }
    if (runs < cLEAST_RUNS) {
        ADD_FAILURE() << what << ": " << runs << " runs are too few to judge memory; give "
                      << cLEAST_RUNS << " or more";
        return;
    }
    const double growth = growthPerRunKiB(residentAfterRun_);
    std::printf(
        "%s: resident after run %zu: %ld KiB, after run %zu: %ld KiB, after the last: "
        "%ld KiB; growth over the second half %.1f KiB per run (at most %.0f)\n",
        what.c_str(), cWARM_UP_RUNS, residentAfterRun_[cWARM_UP_RUNS - 1], runs / 2,
        residentAfterRun_[runs / 2 - 1], residentAfterRun_.back(), growth,
        cMOST_GROWTH_PER_RUN_KIB);
    EXPECT_LE(growth, cMOST_GROWTH_PER_RUN_KIB)
        << what << ": resident memory after each run (KiB): "
        << ::testing::PrintToString(residentAfterRun_);
}

}  // namespace pelion::test
