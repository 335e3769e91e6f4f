// Runs started from the window against the simulated logger: the whole update, Cancel, the
// repeat after a communication error, closing during a run, and the order of notifications.
#include <QApplication>
#include <QGuiApplication>
#include <QSet>
#include <QTest>
#include <new>
#include <thread>

#include "firmware/catalogue.h"
#include "link/comm_thread.h"
#include "link/notify.h"
#include "link/serial_port.h"
#include "sim/simulated_logger.h"
#include "tests/gui/gui_fixture.h"
#include "tests/support/image_11_logger.h"
#include "tests/support/image_lines.h"
#include "ui/ui_notification_target.h"

namespace pelion::test {
namespace {

constexpr const char* cTITLE = "Pelion Firmware Update";
constexpr const char* cCANCELLED = "Process cancelled!";
constexpr const char* cREPEAT = "Repeat update because communication error!";
// A whole image takes tens of seconds, more under the sanitizers.
constexpr std::chrono::minutes cWHOLE_RUN{5};

bool showsRunning(const TfrmMain& main) {
    return !main.btnProg->isEnabled() && main.btnClose->isHidden() && main.btnCancel->isVisible() &&
           !main.cbxPort->isEnabled() && QApplication::overrideCursor() != nullptr &&
           QApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

bool showsIdle(const TfrmMain& main) {
    return main.btnProg->isEnabled() && main.btnClose->isVisible() && main.btnCancel->isHidden() &&
           main.cbxPort->isEnabled() && QApplication::overrideCursor() == nullptr &&
           main.windowTitle() == cTITLE && main.windowIconText() == cTITLE;
}

class RunTest : public GuiTest {
protected:
    // Starts the windows with the simulated logger's port in the port field.
    GuiWindows& startAt(sim::SimulatedLogger& logger, Mode mode,
                        std::vector<std::string> elements = {}) {
        GuiWindows& w = start(mode, std::move(elements));
        w.frmMain.setPortField(QString::fromStdString(logger.portPath()));
        return w;
    }
};

TEST_F(RunTest, WholeUpdateFromTheUpdateButtonToTheVerdict) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    GuiWindows& w = startAt(logger, Mode::normal);
    QSet<QString> titles;
    QSet<QString> captions;
    QObject watching;  // ends the connections with the test, before `titles` and `captions` go
    QObject::connect(&w.frmMain, &QWidget::windowIconTextChanged, &watching,
                     [&titles](const QString& title) { titles << title; });
    QObject::connect(&w.frmMain, &QWidget::windowTitleChanged, &watching,
                     [&captions](const QString& caption) { captions << caption; });

    QuestionSeen question;
    answerNextQuestion("Yes", question);
    MessageSeen verdict;
    bool idleWhileShown = false;
    readNextMessage(w, verdict, [&] { idleWhileShown = showsIdle(w.frmMain); });
    w.frmMain.btnProg->click();
    ASSERT_TRUE(question.asked);
    EXPECT_TRUE(showsRunning(w.frmMain));

    ASSERT_TRUE(waitFor([&] { return verdict.shown; }, cWHOLE_RUN));
    const QString success = "Update PelionB V6.02 succesfully completed.";
    EXPECT_EQ(verdict.text, success);
    EXPECT_TRUE(idleWhileShown);
    EXPECT_EQ(w.frmMain.ProgressBar1->value(), 100);
    EXPECT_EQ(w.frmMain.StatusText->text(), success);
    EXPECT_EQ(w.frmMain.windowIconText(), cTITLE);
    EXPECT_TRUE(titles.contains("50%"));
    // The caption never changes during a run, and no caption carries the application title.
    EXPECT_TRUE(captions.isEmpty());
    EXPECT_EQ(w.frmMain.windowTitle(), cTITLE);
    EXPECT_EQ(w.frmProtocol.windowTitle(), "Report");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
    EXPECT_TRUE(w.frmProtocol.lines().last().endsWith(" -> " + success));
    EXPECT_TRUE(logger.flashEquals(imageLines(11)));
}

TEST_F(RunTest, CancelEndsTheRunAndTheWindowIsIdleAgain) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    logger.muteNextExchanges(1000);
    GuiWindows& w = startAt(logger, Mode::internal, {"f:+"});

    w.frmMain.btnProg->click();
    EXPECT_TRUE(showsRunning(w.frmMain));
    EXPECT_FALSE(w.frmMain.btnFile->isEnabled());
    EXPECT_EQ(w.frmMain.StatusText->text(),
              QString("Start at serial port \"%1\"").arg(logger.portPath().c_str()));

    // The loaded file and the chosen image belong to the running worker.
    MessageSeen refused;
    readNextMessage(w, refused);
    w.frmMain.menInfoFile->trigger();
    EXPECT_TRUE(refused.text.startsWith("The file version can be read only while no update"));
    EXPECT_TRUE(showsRunning(w.frmMain));

    MessageSeen verdict;
    bool idleWhileShown = false;
    readNextMessage(w, verdict, [&] { idleWhileShown = showsIdle(w.frmMain); });
    w.frmMain.btnCancel->click();
    w.frmMain.btnCancel->click();
    ASSERT_TRUE(waitFor([&] { return verdict.shown; }));
    EXPECT_EQ(verdict.text, cCANCELLED);
    EXPECT_TRUE(idleWhileShown);
    EXPECT_TRUE(showsIdle(w.frmMain));
}

// Cancel pressed while the window waits to repeat: the repeat starts and ends at its first
// frame with the cancel verdict.
TEST_F(RunTest, RepeatCarriesACancelRequestOver) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    logger.muteNextExchanges(1000);
    GuiWindows& w = startAt(logger, Mode::internal);

    MessageSeen verdict;
    readNextMessage(w, verdict);
    w.frmMain.btnProg->click();
    ASSERT_TRUE(waitFor([&] { return w.frmMain.StatusText->text() == cREPEAT; }));
    EXPECT_TRUE(showsRunning(w.frmMain));
    w.frmMain.btnCancel->click();

    ASSERT_TRUE(waitFor([&] { return verdict.shown; }));
    EXPECT_EQ(verdict.text, cCANCELLED);
    const QStringList lines = w.frmProtocol.lines();
    const auto indexOf = [&](const QString& text, int from) {
        for (int i = from; i < lines.size(); ++i) {
            if (lines[i].endsWith(" -> " + text)) {
                return i;
            }
        }
        return -1;
    };
    const QString start = QString("Start at serial port \"%1\"").arg(logger.portPath().c_str());
    const int repeat = indexOf(cREPEAT, 0);
    ASSERT_GE(repeat, 0);
    const int restart = indexOf(start, repeat);
    ASSERT_GT(restart, repeat) << "the repeat did not start";
    EXPECT_EQ(indexOf(cCANCELLED, restart), lines.size() - 1);
}

// A worker that cannot be started ends the run in words, and the window takes input again.
TEST_F(RunTest, WorkerThatCannotBeStartedEndsAsAFatalAbortAndTheWindowIsIdle) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    GuiWindows& w = startAt(logger, Mode::internal);
    WorkerClass = [](RunContextPtr, TCmd, std::string) -> std::unique_ptr<TCommThread> {
        throw std::bad_alloc();
    };

    MessageSeen verdict;
    bool idleWhileShown = false;
    readNextMessage(w, verdict, [&] { idleWhileShown = showsIdle(w.frmMain); });
    w.frmMain.btnProg->click();
    ASSERT_TRUE(waitFor([&] { return verdict.shown; }));
    EXPECT_EQ(verdict.text, "Fatal Exception has occurred!");
    EXPECT_TRUE(idleWhileShown);
    EXPECT_TRUE(logger.received().empty());
}

TEST_F(RunTest, CloseDuringARunAsksAndEndsOnlyOnYes) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    logger.muteNextExchanges(1000);
    GuiWindows& w = startAt(logger, Mode::internal);
    w.frmMain.btnProg->click();
    ASSERT_TRUE(showsRunning(w.frmMain));

    QuestionSeen no;
    answerNextQuestion("No", no);
    EXPECT_FALSE(w.frmMain.close());
    ASSERT_TRUE(no.asked);
    EXPECT_EQ(no.title, "Confirm");
    EXPECT_EQ(no.text, "The update is not finished!\nDo you really close the program ?");
    EXPECT_TRUE(w.frmMain.isVisible());
    EXPECT_TRUE(showsRunning(w.frmMain));

    QuestionSeen yes;
    answerNextQuestion("Yes", yes);
    EXPECT_TRUE(w.frmMain.close());
    ASSERT_TRUE(yes.asked);
    EXPECT_FALSE(w.frmMain.isVisible());
    // The worker has ended and let go of the port; what it still reported shows nowhere.
    EXPECT_TRUE(TCommThread::waitForWorkers(std::chrono::milliseconds(0)));
    const ComPort port = openComPort(logger.portPath(), cLINK_BAUD);
    EXPECT_NE(port, cINVALID_PORT) << "the port is still held";
    closeComPort(port);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// After the verdict of a port that does not open, the report says why and what to do.
TEST_F(RunTest, PortThatDoesNotOpenIsExplainedAfterTheVerdict) {
    GuiWindows& w = start(Mode::normal);
    w.frmMain.setPortField("/dev/no-such-logger");
    QuestionSeen question;
    answerNextQuestion("Yes", question);
    MessageSeen verdict;
    readNextMessage(w, verdict);
    w.frmMain.btnProg->click();

    ASSERT_TRUE(waitFor([&] { return verdict.shown && w.frmProtocol.lines().size() >= 2; }));
    EXPECT_EQ(verdict.text, "Aborted because serial port \"/dev/no-such-logger\" is not ready!");
    const QStringList lines = w.frmProtocol.lines();
    EXPECT_TRUE(lines[lines.size() - 2].endsWith(verdict.text)) << lines.join('\n').toStdString();
    EXPECT_TRUE(
        lines.back().endsWith(" -> No such device (No such file or directory). Check the "
                              "port name and that the logger's USB cable is plugged in."))
        << lines.back().toStdString();
    EXPECT_EQ(w.frmMain.StatusText->text(), verdict.text);
}

// Notifications posted from another thread reach the window in posting order, also while a
// modal window runs its own loop; a detached target drops what comes late.
TEST_F(RunTest, NotificationsArriveInOrderInsideAModalWindow) {
    GuiWindows& w = start(Mode::normal);
    auto target = std::make_shared<UiNotificationTarget>(&w.frmMain);
    constexpr int cCOUNT = 101;

    bool opened = false;
    onNextModal(
        [&](QWidget* overview) {
            std::thread worker([target] {
                for (int percent = 0; percent < cCOUNT; ++percent) {
                    target->post(cNT_PROGRESS, percent);
                }
            });
            worker.join();
            EXPECT_TRUE(waitFor([&] { return w.frmProtocol.lines().size() == cCOUNT; }));
            static_cast<TfrmInfo*>(overview)->Button1->click();
        },
        opened);
    w.frmMain.menInfoFirmware->trigger();
    ASSERT_TRUE(opened);

    const QStringList lines = w.frmProtocol.lines();
    ASSERT_EQ(lines.size(), cCOUNT);
    for (int percent = 0; percent < cCOUNT; ++percent) {
        EXPECT_TRUE(lines[percent].endsWith(QString(" -> Progress %1%").arg(percent)));
    }
    EXPECT_EQ(w.frmMain.ProgressBar1->value(), 100);

    target->detach();
    target->post(cNT_PROGRESS, 7);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.frmProtocol.lines().size(), cCOUNT);
}

}  // namespace
}  // namespace pelion::test
