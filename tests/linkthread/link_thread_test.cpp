// The link thread over a pseudo-terminal against the simulated logger: the run's frame, the
// exact bytes of command frames, attempts, the not-ready status, cancellation, a missing port
// and progress.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/comm_thread.h"
#include "link/hex_record.h"
#include "link/port_error.h"
#include "sim/simulated_logger.h"
#include "tests/linkthread/worker_run.h"

namespace pelion {
namespace {

using test::cIDENTITY_QUERY;
using test::cNULL_FRAME_TEXT;
using test::collectRun;
using test::wireAfter;

const std::string cPLATFORM_QUERY = ":0100000520DA";

// A worker whose run is a script of exchanges written by the test.
class ScriptedWorker : public TCommThread {
public:
    using Script = std::function<void(ScriptedWorker&)>;

    ScriptedWorker(RunContextPtr run, TCmd cmd, std::string port, Script script)
        : TCommThread(std::move(run), cmd, std::move(port)), script_(std::move(script)) {}

    using TCommThread::answerText;
    using TCommThread::calculateCRC16;
    using TCommThread::sendCommand;
    using TCommThread::sendLine;
    using TCommThread::setProgress;

    std::uint16_t answerWord(int hi) const { return FRxBuffer[hi] << 8 | FRxBuffer[hi + 1]; }

protected:
    void runUpdate() override {
        if (script_) {
            script_(*this);
        }
    }

private:
    Script script_;
};

class LinkThread : public ::testing::Test {
protected:
    std::vector<Notification> run(sim::SimulatedLogger& sim, ScriptedWorker::Script script,
                                  TCmd cmd = tCMD0) {
        return runOn(sim.portPath(), std::move(script), cmd);
    }

    std::vector<Notification> runOn(const std::string& port, ScriptedWorker::Script script,
                                    TCmd cmd = tCMD0) {
        auto queue = std::make_shared<NotificationQueue>();
        auto context = std::make_shared<RunContext>(queue);
        context->bCancel = cancelled_;
        ScriptedWorker worker(context, cmd, port, std::move(script));
        return collectRun(worker, *context, *queue);
    }

    bool cancelled_ = false;  // the cancel request each run starts with

    static sim::LoggerConfig inBootloader() {
        sim::LoggerConfig config;
        config.startInBootloader = true;
        return config;
    }
};

TEST_F(LinkThread, RunStartsWithTwoNullFramesEachFollowedByAPause) {
    sim::SimulatedLogger sim;
    // The logger never answers a null frame: a read after one would fail the run.
    std::chrono::steady_clock::time_point scriptStarts;
    const auto started = std::chrono::steady_clock::now();
    const auto notes = run(
        sim, [&](ScriptedWorker&) { scriptStarts = std::chrono::steady_clock::now(); }, tCMD2);
    EXPECT_EQ(notes, (std::vector<Notification>{{cNT_FINISHED, tCMD2}}));
    EXPECT_EQ(wireAfter(sim, 2), (std::vector<std::string>{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT}));
    const auto frames = sim.received();
    ASSERT_EQ(frames.size(), 2u);
    // Both pauses lie before the run's own first frame: no sleep ends early, so this bound is
    // exact.
    EXPECT_GE(scriptStarts - started, 2 * cLINK_PAUSE);
    // The first pause lies between the two null frames. The logger may take the first one late
    // on a loaded machine, which shortens the gap it sees: half the pause is allowed for that.
    EXPECT_GE(frames[1].at - frames[0].at, cLINK_PAUSE / 2);
    // The second pause follows the second frame.
    EXPECT_GE(scriptStarts - frames[1].at, cLINK_PAUSE / 2);
}

TEST_F(LinkThread, CommandFramesAreExactAndOnlyQueriesWaitForAnAnswer) {
    sim::SimulatedLogger sim;  // in its application, version 6.02
    std::uint16_t answeredClass = 0;
    const auto notes = run(sim, [&](ScriptedWorker& w) {
        w.sendCommand(true, 1, 0, 0, 0, 0, 0, 0);
        answeredClass = w.answerWord(2);
        // Neither jump is answered: a read after either would use up its attempts.
        w.sendCommand(false, 5, 3, 0xA5, 0x5A, 0, 0, 0);
        w.sendCommand(false, 2, 0x81, 0, 0xA5, 0x5A, 0, 0);
    });
    EXPECT_EQ(notes, (std::vector<Notification>{{cNT_FINISHED, tCMD0}}));
    EXPECT_EQ(answeredClass, 0x6601);
    EXPECT_EQ(wireAfter(sim, 5),
              (std::vector<std::string>{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT, cIDENTITY_QUERY,
                                        "85 03 A5 5A 00 00 00 25", "82 81 00 A5 5A 00 00 09"}));
}

TEST_F(LinkThread, SilentLoggerGetsFiveAttemptsThenTheRunAsksForARepeat) {
    sim::SimulatedLogger sim;
    sim.muteNextExchanges(1000);
    bool returned = false;
    const auto notes = run(
        sim,
        [&](ScriptedWorker& w) {
            w.sendCommand(true, 1, 0, 0, 0, 0, 0, 0);
            returned = true;
        },
        tCMD_TEST);
    EXPECT_EQ(notes, (std::vector<Notification>{{cNT_RETRY, tCMD_TEST}}));
    EXPECT_FALSE(returned);
    EXPECT_EQ(wireAfter(sim, 7),
              (std::vector<std::string>{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT, cIDENTITY_QUERY,
                                        cIDENTITY_QUERY, cIDENTITY_QUERY, cIDENTITY_QUERY,
                                        cIDENTITY_QUERY}));
}

struct NotReadyCase {
    int corruptedAnswers;  // answers with a wrong checksum before the good one
    std::size_t queries;   // identity queries on the wire
};

void PrintTo(const NotReadyCase& c, std::ostream* os) {
    *os << c.corruptedAnswers << " corrupted first";
}

class NotReadyStatus : public LinkThread, public ::testing::WithParamInterface<NotReadyCase> {};

TEST_P(NotReadyStatus, EndsTheRunAtOnceOnlyWhenItsChecksumHolds) {
    sim::SimulatedLogger sim;
    sim.setNotReady(true);
    sim.corruptNextAnswers(GetParam().corruptedAnswers);
    const auto notes =
        run(sim, [](ScriptedWorker& w) { w.sendCommand(true, 1, 0, 0, 0, 0, 0, 0); });
    EXPECT_EQ(notes, (std::vector<Notification>{{cNT_ABORTED, 41}}));
    std::vector<std::string> expected{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT};
    expected.insert(expected.end(), GetParam().queries, cIDENTITY_QUERY);
    EXPECT_EQ(wireAfter(sim, expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(Answers, NotReadyStatus,
                         ::testing::Values(NotReadyCase{0, 1}, NotReadyCase{2, 3}));

TEST_F(LinkThread, CancelBeforeTheFirstFrameWritesNothing) {
    sim::SimulatedLogger sim;
    cancelled_ = true;
    bool ran = false;
    EXPECT_EQ(run(sim, [&](ScriptedWorker&) { ran = true; }),
              (std::vector<Notification>{{cNT_ABORTED, 20}}));
    EXPECT_FALSE(ran);

    // A following run's frames are the first the logger sees.
    cancelled_ = false;
    run(sim, [](ScriptedWorker& w) { w.sendCommand(true, 1, 0, 0, 0, 0, 0, 0); });
    EXPECT_EQ(wireAfter(sim, 3),
              (std::vector<std::string>{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT, cIDENTITY_QUERY}));
}

// The reason comes first, the one outcome last.
TEST_F(LinkThread, PortThatDoesNotExistEndsTheRunWith10AfterItsReason) {
    bool ran = false;
    const std::int32_t noSuchDevice = packPortError({PortFailure::noSuchDevice, ENOENT});
    EXPECT_EQ(runOn("/dev/pelion-no-such-port", [&](ScriptedWorker&) { ran = true; }),
              (std::vector<Notification>{{cNT_PORT_FAILURE, noSuchDevice}, {cNT_ABORTED, 10}}));
    EXPECT_FALSE(ran);
}

class UnansweredLine : public LinkThread, public ::testing::WithParamInterface<bool> {};

TEST_P(UnansweredLine, RaisesOrReturnsFalseAfterFiveAttempts) {
    const bool bRaise = GetParam();
    sim::SimulatedLogger sim(inBootloader());
    sim.muteNextExchanges(1000);
    std::optional<bool> result;
    const auto notes = run(sim, [&](ScriptedWorker& w) {
        result = w.sendLine(cPLATFORM_QUERY, 6, bRaise);
        w.setProgress(1, 2);  // the run goes on
    });
    if (bRaise) {
        EXPECT_EQ(notes, (std::vector<Notification>{{cNT_RETRY, tCMD0}}));
        EXPECT_FALSE(result.has_value());
    } else {
        EXPECT_EQ(notes, (std::vector<Notification>{{cNT_PROGRESS, 49}, {cNT_FINISHED, tCMD0}}));
        EXPECT_EQ(result, false);
    }
    std::vector<std::string> expected{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT};
    expected.insert(expected.end(), 5, cPLATFORM_QUERY);
    EXPECT_EQ(wireAfter(sim, expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(RaiseFlag, UnansweredLine, ::testing::Bool());

TEST_F(LinkThread, LineWithoutAnswerIsWrittenOnceAndNotRead) {
    sim::SimulatedLogger sim(inBootloader());
    sim.muteNextExchanges(1000);
    bool sent = false;
    std::string answer = "untouched";
    const auto notes = run(sim, [&](ScriptedWorker& w) {
        sent = w.sendLine(cPLATFORM_QUERY, 0, true);
        w.answerText(answer);
    });
    EXPECT_EQ(notes, (std::vector<Notification>{{cNT_FINISHED, tCMD0}}));
    EXPECT_TRUE(sent);
    EXPECT_EQ(answer, "");
    EXPECT_EQ(wireAfter(sim, 3),
              (std::vector<std::string>{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT, cPLATFORM_QUERY}));
}

TEST_F(LinkThread, LineAnswerIsReadWhole) {
    sim::SimulatedLogger sim(inBootloader());
    std::string answer;
    bool decoded = false;
    run(sim, [&](ScriptedWorker& w) {
        ASSERT_TRUE(w.sendLine(cPLATFORM_QUERY, 6, true));
        w.answerText(answer);
        sHexLine = answer;
        decoded = lineToRecord();
    });
    EXPECT_EQ(answer.size(), 23u);
    EXPECT_EQ(answer.substr(0, 3), ":06");
    EXPECT_TRUE(decoded);
}

TEST_F(LinkThread, ProgressIsPostedOnlyWhenThePercentChanges) {
    sim::SimulatedLogger sim;
    const auto notes = run(sim, [](ScriptedWorker& w) {
        w.setProgress(5, 0);  // percent 0, as at the start of the run: nothing
        w.setProgress(50, 100);
        w.setProgress(50, 100);
        w.setProgress(200, 100);
        w.setProgress(-7, 100);
    });
    EXPECT_EQ(
        notes,
        (std::vector<Notification>{
            {cNT_PROGRESS, 49}, {cNT_PROGRESS, 99}, {cNT_PROGRESS, 0}, {cNT_FINISHED, tCMD0}}));
}

TEST(LinkThreadChecksum, UpdateIdBlockSumsItsWordsLowByteFirst) {
    EXPECT_EQ(ScriptedWorker::calculateCRC16(0x0102, 0, 0, 0, 0), 0x5DDC);
}

// However the logger garbles its answers, the run ends with exactly one outcome (collectRun
// fails on anything posted after it).
struct BadAnswerCase {
    const char* name;
    std::function<void(sim::SimulatedLogger&)> fault;
    Notification outcome;
};

void PrintTo(const BadAnswerCase& c, std::ostream* os) {
    *os << c.name;
}

class BadAnswer : public LinkThread, public ::testing::WithParamInterface<BadAnswerCase> {};

TEST_P(BadAnswer, EndsTheRunWithOneOutcome) {
    sim::SimulatedLogger sim(inBootloader());
    const auto notes = run(sim, [&](ScriptedWorker& w) {
        w.sendCommand(true, 1, 0, 0, 0, 0, 0, 0);
        // From here on every answer, frame or line, is garbled.
        GetParam().fault(sim);
        w.sendLine(cPLATFORM_QUERY, 6, true);
        w.sendCommand(true, 1, 0, 0, 0, 0, 0, 0);
    });
    EXPECT_EQ(notes, (std::vector<Notification>{GetParam().outcome}));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BadAnswer,
    ::testing::Values(
        BadAnswerCase{
            "WrongChecksum", [](auto& s) { s.corruptNextAnswers(1000); }, {cNT_RETRY, tCMD0}},
        BadAnswerCase{"Short", [](auto& s) { s.shortNextAnswers(1000); }, {cNT_RETRY, tCMD0}},
        BadAnswerCase{"NotHex", [](auto& s) { s.garbleNextAnswers(1000); }, {cNT_RETRY, tCMD0}},
        BadAnswerCase{"Missing", [](auto& s) { s.muteNextExchanges(1000); }, {cNT_RETRY, tCMD0}},
        BadAnswerCase{"NotReady", [](auto& s) { s.setNotReady(true); }, {cNT_ABORTED, 41}}),
    [](const auto& info) { return std::string(info.param.name); });

// Bytes that came before a line goes out (here the answer to a frame sent without waiting for
// it) are thrown away first: the line's own answer is read whole at the first attempt.
TEST_F(LinkThread, LineExchangeDiscardsBytesThatCameBeforeIt) {
    sim::SimulatedLogger sim(inBootloader());
    const auto notes = run(sim, [&](ScriptedWorker& w) {
        w.sendCommand(false, 1, 0, 0, 0, 0, 0, 0);  // answered, but the answer is not read
        // The unpaced logger answers within milliseconds; this leaves room for a loaded machine.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        w.sendLine(cPLATFORM_QUERY, 6, true);
    });
    EXPECT_EQ(notes, (std::vector<Notification>{{cNT_FINISHED, tCMD0}}));
    EXPECT_EQ(wireAfter(sim, 4), (std::vector<std::string>{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT,
                                                           cIDENTITY_QUERY, cPLATFORM_QUERY}));
}

// An answer one byte short is refused even where the last answer's bytes, still in the buffer,
// would complete it: only the bytes that came now count.
TEST_F(LinkThread, ShortAnswerIsRefusedWhereTheLastAnswerWouldCompleteIt) {
    struct Exchange {
        const char* what;
        std::string wire;
        std::function<void(ScriptedWorker&)> send;
    };
    const Exchange exchanges[] = {
        {"command frame", cIDENTITY_QUERY,
         [](ScriptedWorker& w) { w.sendCommand(true, 1, 0, 0, 0, 0, 0, 0); }},
        {"line", cPLATFORM_QUERY, [](ScriptedWorker& w) { w.sendLine(cPLATFORM_QUERY, 6, true); }},
    };
    for (const Exchange& e : exchanges) {
        SCOPED_TRACE(e.what);
        sim::SimulatedLogger sim(inBootloader());
        const auto notes = run(sim, [&](ScriptedWorker& w) {
            e.send(w);
            sim.shortNextAnswers(1);
            e.send(w);
        });
        EXPECT_EQ(notes, (std::vector<Notification>{{cNT_FINISHED, tCMD0}}));
        // Once for the first exchange, twice for the second: the short answer, then the whole.
        EXPECT_EQ(wireAfter(sim, 5), (std::vector<std::string>{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT,
                                                               e.wire, e.wire, e.wire}));
    }
}

}  // namespace
}  // namespace pelion
