// A day at the service bench in one window: update after update, driven as a user drives it
// (Update, Yes to the question, OK under the verdict), against a fresh simulated logger each
// time. Every action must end as its logger asks, leave the report with its own lines only,
// and give back every thread and descriptor it took; resident memory must stay flat once the
// first runs have warmed the program up.
#include <QApplication>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <iterator>

#include "app/notification_texts.h"
#include "link/comm_thread.h"
#include "link/eorvo.h"
#include "link/link_timing.h"
#include "tests/gui/gui_fixture.h"
#include "tests/long_use/logger_cases.h"
#include "tests/long_use/process_usage.h"

namespace pelion::test {
namespace {

constexpr std::size_t cCI_RUNS = 40;
constexpr std::chrono::minutes cACTION_LIMIT{3};
constexpr std::chrono::seconds cWORKER_END_LIMIT{10};

// The text of a report line after its time stamp.
QString reportText(const QString& line) {
    const qsizetype arrow = line.indexOf(" -> ");
    return arrow < 0 ? line : line.mid(arrow + 4);
}

// The report of one action: it starts with that action's first run, holds one start per run
// (each run after the first announced by its repeat line) and ends with the verdict. A loaded
// machine may add repeats after time-outs; the logger's own trouble asks for `repeats`.
void expectReportOfOneAction(const QStringList& lines, const Expected& expected,
                             const std::string& port) {
    ASSERT_FALSE(lines.isEmpty());
    const QString start = QString::fromStdString(startText(port));
    const QString repeats[] = {cTXT_RETRY,
                               QString::fromStdString(abortText(cEX_PROG_REPEAT, {}).text)};
    EXPECT_EQ(reportText(lines.front()), start);
    EXPECT_EQ(reportText(lines.back()), QString::fromStdString(expected.verdict));
    int starts = 0;
    int repeated = 0;
    for (const QString& line : lines) {
        starts += reportText(line) == start;
        repeated += std::count(std::begin(repeats), std::end(repeats), reportText(line));
    }
    EXPECT_EQ(starts, 1 + repeated) << lines.join('\n').toStdString();
    EXPECT_GE(repeated, expected.repeats) << lines.join('\n').toStdString();
}

class WindowLongUseTest : public GuiTest {};

TEST_F(WindowLongUseTest, UpdateAfterUpdateKeepsThreadsDescriptorsAndMemoryFlat) {
    const std::size_t runs = runCount("PELION_LONG_USE_WINDOW_RUNS", cCI_RUNS);
    setLinkTimeDivisor(cLINK_TIME_DIVISOR);
    GuiWindows& w = start(Mode::normal);
    UsageWatch usage;

    for (std::size_t run = 0; run < runs && !HasFailure(); ++run) {
        const LoggerCase c = loggerCase(run);
        SCOPED_TRACE("run " + std::to_string(run + 1) + ": " + describe(c));
        usage.runStarts();
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
            ASSERT_TRUE(TCommThread::waitForWorkers(cWORKER_END_LIMIT));
            expectReportOfOneAction(w.frmProtocol.lines(), expected, logger->portPath());
            if (expected.image > 0) {
                EXPECT_TRUE(logger->flashEquals(getFirmwareLines(expected.image)));
            }
        }
        QCoreApplication::processEvents();
        usage.runEnded();
    }
    usage.finish("window");
}

}  // namespace
}  // namespace pelion::test
