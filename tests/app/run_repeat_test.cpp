// Runs started through the run control with real workers on a pseudo-terminal: what starting a
// run shows, and how a cancel request carries over the repeats.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <vector>

#include "app/run_control.h"
#include "firmware/catalogue.h"
#include "link/comm_thread.h"
#include "link/eorvo.h"
#include "tests/app/recording_view.h"
#include "tests/support/bare_terminal.h"
#include "update/options.h"

namespace pelion {
namespace {

using namespace std::chrono_literals;

// A worker whose run always ends in a communication error, after its wake-up frames.
class FailingWorker : public TCommThread {
public:
    using TCommThread::TCommThread;

protected:
    void runUpdate() override { throw EOrvo(cEX_RETRY); }
};

// A worker whose run ends as the script says, one entry per run: a communication error (30) or
// a programming error (44). Past its end the script repeats its last entry.
class ScriptedWorker : public TCommThread {
public:
    using TCommThread::TCommThread;

    static inline std::vector<std::int32_t> script;
    static inline std::atomic<std::size_t> runs{0};

protected:
    void runUpdate() override {
        const std::size_t run = runs++;
        throw EOrvo(script.at(std::min(run, script.size() - 1)));
    }
};

// A worker class whose workers cannot even be built.
std::unique_ptr<TCommThread> unbuildableWorker(RunContextPtr, TCmd, std::string) {
    throw std::bad_alloc();
}

// The far end of the port: a pseudo-terminal whose master side nobody answers from.
class RepeatTest : public testing::Test {
protected:
    void SetUp() override {
        view.port = terminal_.slavePath();
        WorkerClass = &makeWorker<FailingWorker>;
    }
    void TearDown() override {
        ASSERT_TRUE(TCommThread::waitForWorkers(30s));
        WorkerClass = &makeWorker<TCommThread>;
    }

    // The next notification of a worker; a worker that never ends fails the test.
    Notification next() {
        auto n = queue->takeFor(30s);
        EXPECT_TRUE(n.has_value());
        return n.value_or(Notification{~0u, 0});
    }

    // Handles notifications until the run has ended for good or waits for a delayed action.
    void handleUntilQuiet() {
        const std::size_t ended = view.outcomes.size();
        while (view.outcomes.size() == ended && view.later.empty()) {
            const Notification n = next();
            if (n.code == ~0u) {
                return;
            }
            control.handleNotification(n.code, n.value);
        }
    }

    std::size_t count(const std::string& event) const {
        return std::count(view.events.begin(), view.events.end(), event);
    }

    test::RecordingView view;
    std::shared_ptr<NotificationQueue> queue = std::make_shared<NotificationQueue>();
    RunControl control{view, queue};

private:
    test::BareTerminal terminal_;
};

TEST_F(RepeatTest, StartRunShowsThePortAndStartsAWorker) {
    view.readInfoOnly = true;
    ASSERT_TRUE(control.PrepareRun());
    control.StartRun(tCMD0);
    const std::string start = "Start at serial port \"" + view.port + "\"";
    EXPECT_EQ(view.events,
              (std::vector<std::string>{"clear", "report: " + start, "status: " + start, "bar: 0",
                                        "controls: running"}));
    EXPECT_TRUE(bReadInfoOnly);
    EXPECT_TRUE(control.isRunning());
    EXPECT_EQ(next(), (Notification{cNT_RETRY, tCMD0}));
    bReadInfoOnly = false;
}

enum class CancelAt { never, beforeRetryArrives, duringWait };

struct CarryOverCase {
    const char* name;
    CancelAt cancelAt;
    const char* verdict;
};

void PrintTo(const CarryOverCase& c, std::ostream* os) {
    *os << c.name;
}

class CancelCarryOver : public RepeatTest, public testing::WithParamInterface<CarryOverCase> {};

TEST_P(CancelCarryOver, RepeatHonoursACancelFromBeforeOrDuringTheWait) {
    const CarryOverCase& c = GetParam();
    control.setMaxRepeats(1);
    ASSERT_TRUE(control.PrepareRun());
    control.StartRun(tCMD0);

    const Notification retry = next();
    ASSERT_EQ(retry.code, cNT_RETRY);
    if (c.cancelAt == CancelAt::beforeRetryArrives) {
        control.cancel();
    }
    control.handleNotification(retry.code, retry.value);
    ASSERT_EQ(view.later.size(), 1u);
    EXPECT_TRUE(control.isRunning());
    if (c.cancelAt == CancelAt::duringWait) {
        control.cancel();
    }
    view.runLater();
    handleUntilQuiet();

    ASSERT_EQ(view.outcomes.size(), 1u);
    EXPECT_EQ(view.events.back(), "ended");
    EXPECT_EQ(count("result: " + std::string(c.verdict)), 1u);
    EXPECT_EQ(count("report: Start at serial port \"" + view.port + "\""), 2u);
    EXPECT_EQ(count("clear"), 1u) << "a repeat keeps the report";
    EXPECT_FALSE(control.isRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Repeats, CancelCarryOver,
    testing::Values(CarryOverCase{"NoCancel", CancelAt::never,
                                  "Aborted because of a communication error after 1 repeats!"},
                    CarryOverCase{"CancelBeforeRetry", CancelAt::beforeRetryArrives,
                                  "Process cancelled!"},
                    CarryOverCase{"CancelDuringWait", CancelAt::duringWait, "Process cancelled!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RepeatTest, ProgrammingErrorRepeatsAtOnceAndDropsTheCancelRequest) {
    ASSERT_TRUE(control.PrepareRun());
    view.events.clear();
    control.cancel();
    control.handleNotification(cNT_ABORTED, cEX_PROG_REPEAT);
    const std::string start = "Start at serial port \"" + view.port + "\"";
    EXPECT_EQ(view.events, (std::vector<std::string>{
                               "controls: idle", "title: Pelion Firmware Update", "beep",
                               "report: Repeat because programming error!",
                               "status: Repeat because programming error!", "report: " + start,
                               "status: " + start, "bar: 0", "controls: running"}));
    EXPECT_EQ(next(), (Notification{cNT_RETRY, tCMD0})) << "the new worker was not cancelled";
}

TEST_F(RepeatTest, RepeatsCountAgainFromEveryPreparedRun) {
    control.setMaxRepeats(0);
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(control.PrepareRun());
        control.StartRun(tCMD0);
        handleUntilQuiet();
    }
    EXPECT_EQ(count("result: Aborted because of a communication error after 0 repeats!"), 2u);
    ASSERT_EQ(view.outcomes.size(), 2u);
    EXPECT_EQ(view.outcomes[1].kind, RunOutcome::repeatsExhausted);
}

// Repeats after communication errors and after programming errors are counted apart, each
// against the limit; a logger that never takes a record ends the run instead of repeating it
// for ever.
TEST_F(RepeatTest, MaxRepeatsBoundsEachKindOfRepeatOnItsOwn) {
    WorkerClass = &makeWorker<ScriptedWorker>;
    ScriptedWorker::script = {cEX_PROG_REPEAT, cEX_RETRY, cEX_PROG_REPEAT, cEX_RETRY,
                              cEX_PROG_REPEAT};
    ScriptedWorker::runs = 0;
    control.setMaxRepeats(2);
    ASSERT_TRUE(control.PrepareRun());
    control.StartRun(tCMD0);
    // Each scripted run posts its outcome alone; a run that repeats for ever stops the loop.
    for (int note = 0; note < 50 && view.outcomes.empty(); ++note) {
        if (!view.later.empty()) {
            view.runLater();
        }
        const Notification n = next();
        control.handleNotification(n.code, n.value);
    }

    ASSERT_EQ(view.outcomes.size(), 1u)
        << "the run did not end after " << ScriptedWorker::runs << " runs";
    EXPECT_EQ(view.outcomes[0].kind, RunOutcome::repeatsExhausted);
    EXPECT_EQ(view.outcomes[0].abortCode, cEX_PROG_REPEAT);
    EXPECT_EQ(ScriptedWorker::runs.load(), 5u);
    EXPECT_EQ(count("report: Repeat because programming error!"), 2u);
    EXPECT_EQ(count("report: Repeat update because communication error!"), 2u);
    EXPECT_EQ(count("result: Aborted because of a programming error after 2 repeats!"), 1u);
    EXPECT_FALSE(control.isRunning());
}

// A cancel request made after the worker's last attempt is the user's word on the run: when the
// repeats have run out, the verdict is the cancel, not the error.
class CancelWhenRepeatsRunOut : public RepeatTest,
                                public testing::WithParamInterface<std::int32_t> {};

TEST_P(CancelWhenRepeatsRunOut, EndsTheRunAsCancelled) {
    WorkerClass = &makeWorker<ScriptedWorker>;
    ScriptedWorker::script = {GetParam()};
    ScriptedWorker::runs = 0;
    control.setMaxRepeats(0);
    ASSERT_TRUE(control.PrepareRun());
    control.StartRun(tCMD0);
    const Notification last = next();
    control.cancel();
    control.handleNotification(last.code, last.value);

    ASSERT_EQ(view.outcomes.size(), 1u);
    EXPECT_EQ(view.outcomes[0].kind, RunOutcome::aborted);
    EXPECT_EQ(view.outcomes[0].abortCode, cEX_CANCELLED);
    EXPECT_EQ(count("result: Process cancelled!"), 1u);
    EXPECT_EQ(count("result: Aborted because of a communication error after 0 repeats!") +
                  count("result: Aborted because of a programming error after 0 repeats!"),
              0u);
    EXPECT_TRUE(view.later.empty());
    EXPECT_FALSE(control.isRunning());
    EXPECT_EQ(ScriptedWorker::runs.load(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Repeats, CancelWhenRepeatsRunOut,
                         testing::Values(cEX_RETRY, cEX_PROG_REPEAT), [](const auto& info) {
                             return info.param == cEX_RETRY ? "CommunicationError"
                                                            : "ProgrammingError";
                         });

// A worker that cannot be started must not leave the front end in its running state for ever.
TEST_F(RepeatTest, WorkerThatCannotBeBuiltEndsTheRunAsAFatalAbort) {
    WorkerClass = &unbuildableWorker;
    ASSERT_TRUE(control.PrepareRun());
    EXPECT_NO_THROW(control.StartRun(tCMD0));
    handleUntilQuiet();
    ASSERT_EQ(view.outcomes.size(), 1u);
    EXPECT_EQ(view.outcomes[0].kind, RunOutcome::aborted);
    EXPECT_EQ(count("result: Fatal Exception has occurred!"), 1u);
    EXPECT_EQ(count("controls: idle"), 1u);
    EXPECT_FALSE(control.isRunning());
}

// In a child process that may start no thread (root ignores the limit, so the child gives up
// root first). Exit status 0 when the run ended as a fatal abort, idle, with no worker left
// counted; 1 to 4 name what went wrong; 77 when the limit could not be set.
int startRunWithoutThreads(const std::string& port) {
    if (getuid() == 0 && setuid(65534) != 0) {
        return 77;
    }
    const rlimit none{0, 0};
    if (setrlimit(RLIMIT_NPROC, &none) != 0) {
        return 77;
    }
    test::RecordingView view;
    view.port = port;
    auto queue = std::make_shared<NotificationQueue>();
    RunControl control(view, queue);
    control.PrepareRun();
    try {
        control.StartRun(tCMD0);
    } catch (...) {
        return 1;
    }
    const auto n = queue->takeFor(10s);
    if (!n || *n != Notification{cNT_ABORTED, 0}) {
        return 2;
    }
    control.handleNotification(n->code, n->value);
    if (control.isRunning() || view.outcomes.size() != 1) {
        return 3;
    }
    return TCommThread::waitForWorkers(0ms) ? 0 : 4;
}

TEST_F(RepeatTest, WorkerWhoseThreadCannotStartEndsTheRunAsAFatalAbort) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer stops a forked child that starts a thread";
#endif
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        _exit(startRunWithoutThreads(view.port));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child was killed by signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "the thread limit could not be set";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: the error escaped StartRun, 2: no abort was posted, 3: the run did not end, "
           "4: the worker that never started is still counted";
}

}  // namespace
}  // namespace pelion
