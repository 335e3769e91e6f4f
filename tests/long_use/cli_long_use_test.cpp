// A production line in one process: run after run of the command-line updater's run objects
// (its event loop, its console view and the run control, as pelion-update builds them for one
// port), each against a fresh simulated logger. Every run must end as its logger asks and give
// back every thread and descriptor it took; resident memory must stay flat once the first runs
// have warmed the program up.
#include <gtest/gtest.h>

#include <atomic>
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

struct RunEnd {
    RunOutcome outcome;
    std::string verdict;
};

// One run as pelion-update --port PORT --yes makes it, its report lines into `report`. Without
// --max-repeats a time-out on a loaded machine costs a repeat, never the verdict.
RunEnd updateOnce(const std::string& port, std::FILE* report) {
    std::atomic<bool> interruptRequested{false};
    cli::EventLoop loop(interruptRequested);
    cli::ConsoleView view(loop, port, false, nullptr, false);
    view.setReportStream(report);
    RunControl control(view, loop.targetOf(0));
    control.PrepareRun();
    control.StartRun(tCMD0);
    cli::runToOutcome(loop, control, view);
    return {*view.outcome(), view.result()};
}

TEST(CliLongUseTest, RunAfterRunKeepsThreadsDescriptorsAndMemoryFlat) {
    const std::size_t runs = runCount("PELION_LONG_USE_CLI_RUNS", cCI_RUNS);
    setLinkTimeDivisor(cLINK_TIME_DIVISOR);
    WorkerClass = &makeWorker<TPelionCommThread>;
    std::FILE* report = std::fopen("/dev/null", "w");
    ASSERT_NE(report, nullptr);
    UsageWatch usage;

    for (std::size_t run = 0; run < runs && !::testing::Test::HasFailure(); ++run) {
        const LoggerCase c = loggerCase(run);
        SCOPED_TRACE("run " + std::to_string(run + 1) + ": " + describe(c));
        usage.runStarts();
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
        usage.runEnded();
    }
    std::fclose(report);
    usage.finish("command line");
}

}  // namespace
}  // namespace pelion::test
