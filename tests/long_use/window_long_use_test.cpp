// A day at the service bench in one window: update after update, driven as a user drives it
// (Update, Yes to the question, OK under the verdict), against a fresh simulated logger each
// time. Every action must end as its logger asks, leave the report with its own lines only,
// and give back every thread and descriptor it took; resident memory must stay flat once the
// first runs have warmed the program up.
#include <QApplication>
#include <QTest>
#include <chrono>
#include <cstdio>

#include "app/notification_texts.h"
#include "link/comm_thread.h"
#include "link/link_timing.h"
#include "tests/gui/gui_fixture.h"
#include "tests/long_use/logger_cases.h"
#include "tests/long_use/process_usage.h"

namespace pelion::test {
namespace {

constexpr std::size_t cCI_RUNS = 40;
constexpr std::size_t cWARM_UP_RUNS = 20;
constexpr long cMOST_GROWTH_KIB = 2048;
constexpr std::chrono::minutes cACTION_LIMIT{3};
constexpr std::chrono::seconds cSETTLE_LIMIT{10};

// The text of a report line after its time stamp.
QString reportText(const QString& line) {
    const qsizetype arrow = line.indexOf(" -> ");
    return arrow < 0 ? line : line.mid(arrow + 4);
}

// The report of one action: it starts with that action's first run, holds one start per run
// and ends with the verdict.
void expectReportOfOneAction(const QStringList& lines, const Expected& expected,
                             const std::string& port) {
    ASSERT_FALSE(lines.isEmpty());
    const QString start = QString::fromStdString(startText(port));
    EXPECT_EQ(reportText(lines.front()), start);
    EXPECT_EQ(reportText(lines.back()), QString::fromStdString(expected.verdict));
    int starts = 0;
    for (const QString& line : lines) {
        starts += reportText(line) == start;
    }
    EXPECT_EQ(starts, 1 + expected.repeats) << lines.join('\n').toStdString();
}

class WindowLongUseTest : public GuiTest {};

TEST_F(WindowLongUseTest, UpdateAfterUpdateKeepsThreadsDescriptorsAndMemoryFlat) {
    const std::size_t runs = runCount("PELION_LONG_USE_WINDOW_RUNS", cCI_RUNS);
    setLinkTimeDivisor(cLINK_TIME_DIVISOR);
    GuiWindows& w = start(Mode::normal);
    const auto began = std::chrono::steady_clock::now();
    long residentAfterWarmUp = 0;
    ProcessUsage usage = processUsage();
    const ProcessUsage first = usage;

    for (std::size_t run = 0; run < runs; ++run) {
        const LoggerCase c = loggerCase(run);
        SCOPED_TRACE("run " + std::to_string(run + 1) + ": " + describe(c));
        const ProcessUsage before = processUsage();
        const Expected expected = expectedOf(c);
        {
            auto logger = loggerFor(c);
            w.frmMain.setPortField(QString::fromStdString(logger->portPath()));
            QuestionSeen question;
            answerNextQuestion("Yes", question);
            MessageSeen verdict;
            readNextMessage(w, verdict);
            w.frmMain.btnProg->click();
            ASSERT_TRUE(question.asked);
            ASSERT_TRUE(waitFor([&] { return verdict.shown; }, cACTION_LIMIT));
            EXPECT_EQ(verdict.text.toStdString(), expected.verdict);
            ASSERT_TRUE(waitFor([&] { return w.frmMain.btnProg->isEnabled(); }));
            ASSERT_TRUE(TCommThread::waitForWorkers(cSETTLE_LIMIT));
            expectReportOfOneAction(w.frmProtocol.lines(), expected, logger->portPath());
            if (expected.image > 0) {
                EXPECT_TRUE(logger->flashEquals(getFirmwareLines(expected.image)));
            }
        }
        QCoreApplication::processEvents();
        usage = usageSettledAt(before, cSETTLE_LIMIT);
        ASSERT_EQ(usage.threads, before.threads);
        ASSERT_EQ(usage.descriptors, before.descriptors);
        if (run + 1 == cWARM_UP_RUNS) {
            residentAfterWarmUp = usage.residentKiB;
        }
        if (HasFailure()) {
            return;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf(
        "window, %zu updates in %.0f s: before the first %s; after the last %s; "
        "resident after run %zu: %ld KiB\n",
        runs, seconds, describe(first).c_str(), describe(usage).c_str(), cWARM_UP_RUNS,
        residentAfterWarmUp);
    if (cRESIDENT_MEMORY_MEANINGFUL && runs > cWARM_UP_RUNS) {
        EXPECT_LT(usage.residentKiB - residentAfterWarmUp, cMOST_GROWTH_KIB);
    }
}

}  // namespace
}  // namespace pelion::test
