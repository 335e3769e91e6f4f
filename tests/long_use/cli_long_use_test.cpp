// A production line in one process: run after run of the command-line updater's run objects
// (its event loop, its console view and the run control, as pelion-update builds them for one
// port with --max-repeats), each against a fresh simulated logger. Every run must end as its
// logger asks and give back every thread and descriptor it took; resident memory must stay
// flat once the first runs have warmed the program up.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>

#include "app/run_control.h"
#include "cli/console_view.h"
#include "cli/event_loop.h"
#include "cli/updater.h"
#include "link/comm_thread.h"
#include "link/link_timing.h"
#include "tests/long_use/logger_cases.h"
#include "tests/long_use/process_usage.h"
#include "update/pelion_comm_thread.h"

namespace pelion::test {
namespace {

constexpr std::size_t cCI_RUNS = 48;
constexpr std::size_t cWARM_UP_RUNS = 20;
constexpr long cMOST_GROWTH_KIB = 2048;
constexpr int cMAX_REPEATS = 2;
constexpr std::chrono::seconds cSETTLE_LIMIT{10};

struct RunEnd {
    RunOutcome outcome;
    std::string verdict;
};

// One run as pelion-update --port PORT --yes --max-repeats 2 makes it, its report lines into
// `report`.
RunEnd updateOnce(const std::string& port, std::FILE* report) {
    std::atomic<bool> interruptRequested{false};
    cli::EventLoop loop(interruptRequested);
    cli::ConsoleView view(loop, port, false, nullptr, false);
    view.setReportStream(report);
    RunControl control(view, loop.targetOf(0));
    control.setMaxRepeats(cMAX_REPEATS);
    control.PrepareRun();
    control.StartRun(tCMD0);
    loop.run({
        .notification = [&](std::size_t,
                            const Notification& n) { control.handleNotification(n.code, n.value); },
        .interrupt = [&] { control.cancel(); },
        .finished = [&] { return view.outcome().has_value(); },
    });
    cli::awaitWorkers([&] { control.cancel(); });
    return {*view.outcome(), view.result()};
}

TEST(CliLongUseTest, RunAfterRunKeepsThreadsDescriptorsAndMemoryFlat) {
    const std::size_t runs = runCount("PELION_LONG_USE_CLI_RUNS", cCI_RUNS);
    setLinkTimeDivisor(cLINK_TIME_DIVISOR);
    WorkerClass = &makeWorker<TPelionCommThread>;
    std::FILE* report = std::fopen("/dev/null", "w");
    ASSERT_NE(report, nullptr);
    const auto began = std::chrono::steady_clock::now();
    long residentAfterWarmUp = 0;
    ProcessUsage usage = processUsage();
    const ProcessUsage first = usage;

    for (std::size_t run = 0; run < runs && !::testing::Test::HasFailure(); ++run) {
        const LoggerCase c = loggerCase(run);
        SCOPED_TRACE("run " + std::to_string(run + 1) + ": " + describe(c));
        const ProcessUsage before = processUsage();
        const Expected expected = expectedOf(c);
        {
            auto logger = loggerFor(c);
            const RunEnd end = updateOnce(logger->portPath(), report);
            EXPECT_EQ(end.verdict, expected.verdict);
            EXPECT_EQ(end.outcome.kind,
                      expected.abortCode == 0 ? RunOutcome::finished : RunOutcome::aborted);
            if (expected.abortCode != 0) {
                EXPECT_EQ(end.outcome.abortCode, expected.abortCode);
            }
            if (expected.image > 0) {
                EXPECT_TRUE(logger->flashEquals(getFirmwareLines(expected.image)));
            }
        }
        usage = usageSettledAt(before, cSETTLE_LIMIT);
        EXPECT_EQ(usage.threads, before.threads);
        EXPECT_EQ(usage.descriptors, before.descriptors);
        if (run + 1 == cWARM_UP_RUNS) {
            residentAfterWarmUp = usage.residentKiB;
        }
    }
    std::fclose(report);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf(
        "command line, %zu runs in %.0f s: before the first %s; after the last %s; "
        "resident after run %zu: %ld KiB\n",
        runs, seconds, describe(first).c_str(), describe(usage).c_str(), cWARM_UP_RUNS,
        residentAfterWarmUp);
    if (cRESIDENT_MEMORY_MEANINGFUL && runs > cWARM_UP_RUNS) {
        EXPECT_LT(usage.residentKiB - residentAfterWarmUp, cMOST_GROWTH_KIB);
    }
}

}  // namespace
}  // namespace pelion::test
