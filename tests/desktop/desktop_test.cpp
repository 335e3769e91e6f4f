// The windows as the window manager sees them: captions and the application title, the main
// window's frame before, during and after a run and centred at start, the report window's frame
// docked below it, the frame buttons of the report and message windows, and the program's end
// when its main window is closed from the frame.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>

#include "sim/simulated_logger.h"
#include "tests/cli/child_process.h"
#include "tests/desktop/x_probe.h"
#include "tests/gui/gui_fixture.h"
#include "tests/support/image_11_logger.h"

namespace pelion::test {
namespace {

constexpr const char* cTITLE = "Pelion Firmware Update";
constexpr std::chrono::minutes cWHOLE_RUN{5};

xcb_window_t id(const QWidget& window) {
    return static_cast<xcb_window_t>(window.winId());
}

// Counts the close requests that reach a window.
class CloseCounter : public QObject {
public:
    explicit CloseCounter(QWidget* window) : QObject(window) { window->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            ++count;
        }
        return false;
    }
};

// What the window manager shows of one window, printed for the person reading the test log.
struct Seen {
    QString caption;
    QString iconName;
    QRect outer;
    QStringList actions;
};

std::ostream& operator<<(std::ostream& out, const Seen& seen) {
    return out << '"' << seen.caption.toStdString() << "\" icon \"" << seen.iconName.toStdString()
               << "\" frame " << seen.outer.x() << ',' << seen.outer.y() << ' '
               << seen.outer.width() << 'x' << seen.outer.height() << " actions "
               << seen.actions.join(' ').toStdString();
}

class DesktopTest : public GuiTest {
protected:
    Seen look(const QWidget& window) {
        return {x_.caption(id(window)), x_.iconName(id(window)), x_.outerRect(id(window)),
                x_.allowedActions(id(window))};
    }
    Seen lookAndTell(const char* what, const QWidget& window) {
        const Seen seen = look(window);
        std::cout << "window manager: " << what << ": " << seen << '\n';
        return seen;
    }
    // Waits until the window manager has framed `window` and shows it.
    bool framed(const QWidget& window) {
        return waitFor(
            [&] { return x_.isViewable(id(window)) && !x_.outerRect(id(window)).isEmpty(); });
    }
    // The report window's frame starts where the main window's frame ends.
    bool reportDocked() {
        const QRect main = x_.outerRect(id(frmMain()));
        const QRect report = x_.outerRect(id(windows().frmProtocol));
        return !main.isEmpty() &&
               report.topLeft() == QPoint(main.left(), main.top() + main.height());
    }
    // Sends the frame's close requests and waits until the window has handled one.
    bool survivesCloseRequests(QWidget& window) {
        auto* counter = new CloseCounter(&window);
        x_.requestClose(id(window));
        const bool handled = waitFor([&] { return counter->count > 0; });
        delete counter;
        return handled && window.isVisible() && x_.isViewable(id(window));
    }
    // The caption the window manager shows for the modal window that `open` brings up, which
    // its button `close` then closes; empty when it never came or was never framed.
    QString captionOfModal(const char* what, const std::function<void()>& open, const char* close) {
        QString caption;
        bool came = false;
        onNextModal(
            [&](QWidget* modal) {
                if (framed(*modal)) {
                    caption = lookAndTell(what, *modal).caption;
                }
                buttonWithText(modal, close)->click();
            },
            came);
        open();
        EXPECT_TRUE(came) << what;
        return caption;
    }

    XProbe x_;
};

TEST_F(DesktopTest, MainAndReportWindowsAtStartDuringARunAndAfterTheVerdict) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    GuiWindows& w = start(Mode::internal, {"f:+"});
    w.frmMain.setPortField(QString::fromStdString(logger.portPath()));
    ASSERT_TRUE(framed(w.frmMain));
    ASSERT_TRUE(framed(w.frmProtocol));
    ASSERT_TRUE(waitFor([&] { return reportDocked(); }));

    const Seen main = lookAndTell("main window at start", w.frmMain);
    const Seen report = lookAndTell("report window at start", w.frmProtocol);
    EXPECT_EQ(main.caption, cTITLE);
    EXPECT_EQ(main.iconName, cTITLE);
    EXPECT_EQ(report.caption, "Report");
    EXPECT_TRUE(report.actions.contains("MINIMIZE"));
    EXPECT_TRUE(report.actions.contains("MAXIMIZE_HORZ") &&
                report.actions.contains("MAXIMIZE_VERT"));
    EXPECT_FALSE(main.actions.contains("RESIZE"));
    EXPECT_FALSE(main.actions.contains("MAXIMIZE_HORZ"));
    EXPECT_TRUE(survivesCloseRequests(w.frmProtocol)) << "the frame closed the report window";

    w.frmMain.btnProg->click();
    static const QRegularExpression percent("^\\d+%$");
    ASSERT_TRUE(
        waitFor([&] { return percent.match(x_.iconName(id(w.frmMain))).hasMatch(); }, cWHOLE_RUN));
    const Seen running = lookAndTell("main window during the run", w.frmMain);
    EXPECT_EQ(running.caption, cTITLE);
    EXPECT_EQ(running.outer, main.outer);
    EXPECT_TRUE(reportDocked());

    Seen message;
    bool messageSurvived = false;
    bool messageDocked = false;
    MessageSeen verdict;
    readNextMessage(w, verdict, [&] {
        if (!framed(w.frmMessage)) {
            return;
        }
        message = lookAndTell("message window", w.frmMessage);
        const QRect main = x_.outerRect(id(w.frmMain));
        messageDocked = message.outer.left() == main.left() + 10 &&
                        message.outer.bottom() == main.bottom() - 10 &&
                        message.outer.width() == main.width() - 20;
        messageSurvived = survivesCloseRequests(w.frmMessage);
    });
    ASSERT_TRUE(waitFor([&] { return verdict.shown; }, cWHOLE_RUN));
    EXPECT_EQ(message.caption, "Information");
    EXPECT_FALSE(message.actions.contains("MAXIMIZE_HORZ") || message.actions.contains("RESIZE"));
    EXPECT_TRUE(messageSurvived) << "the frame closed the message window";
    EXPECT_TRUE(messageDocked);

    ASSERT_TRUE(waitFor([&] { return !w.frmMain.runControl().isRunning(); }));
    ASSERT_TRUE(waitFor([&] { return x_.iconName(id(w.frmMain)) == cTITLE; }));
    const Seen after = lookAndTell("main window after the verdict", w.frmMain);
    EXPECT_EQ(after.caption, cTITLE);
    EXPECT_EQ(after.outer, main.outer);
    EXPECT_TRUE(reportDocked());
    lookAndTell("report window after the verdict", w.frmProtocol);
}

// The window manager's frame, not only the window inside it, stands in the middle of the screen.
TEST_F(DesktopTest, MainWindowsFrameIsCentredOnTheScreen) {
    GuiWindows& w = start(Mode::normal);
    ASSERT_TRUE(framed(w.frmMain));
    // Twice the centres, so that an odd size leaves no rounding: at most half a pixel off.
    const QRect screen = w.frmMain.screen()->availableGeometry();
    QPoint offCentre;
    const bool centred = waitFor(
        [&] {
            const QRect frame = x_.outerRect(id(w.frmMain));
            offCentre = QPoint(2 * frame.x() + frame.width() - 2 * screen.x() - screen.width(),
                               2 * frame.y() + frame.height() - 2 * screen.y() - screen.height());
            return std::abs(offCentre.x()) <= 1 && std::abs(offCentre.y()) <= 1;
        },
        std::chrono::seconds(5));
    lookAndTell("main window at start", w.frmMain);
    EXPECT_TRUE(centred) << "the frame is off centre by " << offCentre.x() / 2.0 << ", "
                         << offCentre.y() / 2.0 << " px";
}

// The program as a user starts it, on the desktop: closing its main window from the frame ends
// it, also in internal mode, where the report window stays on the screen until the end.
class ProgramEnd : public DesktopTest, public testing::WithParamInterface<Mode> {
protected:
    // The program's window with this caption, once the window manager manages it.
    std::optional<xcb_window_t> programWindow(const QString& caption) {
        std::optional<xcb_window_t> found;
        waitFor([&] {
            for (const xcb_window_t window : x_.clients()) {
                if (x_.programName(window) == "pelion-update-gui" &&
                    x_.caption(window) == caption && x_.isViewable(window)) {
                    found = window;
                }
            }
            return found.has_value();
        });
        return found;
    }
};

TEST_P(ProgramEnd, ClosingTheMainWindowFromItsFrameEndsTheProgram) {
    QTemporaryDir settings;
    ASSERT_TRUE(settings.isValid());
    if (GetParam() == Mode::internal) {
        ASSERT_TRUE(QDir(settings.path()).mkpath("Tessaly"));
        std::ofstream(settings.filePath("Tessaly/Orvo.conf").toStdString())
            << "[General]\nintern=6021\n";
    }
    // The program's leaks are not this test's matter; its end is.
    ChildProcess program(
        {buildProgram("pelion-update-gui")},
        {{"XDG_CONFIG_HOME", settings.path().toStdString()}, {"ASAN_OPTIONS", "detect_leaks=0"}});
    const std::optional<xcb_window_t> main = programWindow(cTITLE);
    ASSERT_TRUE(main.has_value()) << "the main window never came" << program.err();
    if (GetParam() == Mode::internal) {
        ASSERT_TRUE(programWindow("Report").has_value()) << "no report window in internal mode";
    }

    x_.requestClose(*main);
    EXPECT_EQ(program.finish(std::chrono::seconds(10)), 0)
        << "the program did not end after its main window was closed\n"
        << program.err();
}

INSTANTIATE_TEST_SUITE_P(Modes, ProgramEnd, testing::Values(Mode::normal, Mode::internal),
                         [](const auto& info) {
                             return info.param == Mode::internal ? "Internal" : "Normal";
                         });

// A long port name in "... is not ready!" neither widens nor heightens the main window.
TEST_F(DesktopTest, LongStatusTextLeavesTheMainWindowFrameAlone) {
    GuiWindows& w = start(Mode::internal);
    w.frmMain.setPortField("/dev/serial/by-id/usb-Tessaly_Orvo_USB_Serial_Adapter_0123456789-if00");
    ASSERT_TRUE(framed(w.frmMain));
    ASSERT_TRUE(waitFor([&] { return reportDocked(); }));
    const QRect before = x_.outerRect(id(w.frmMain));

    MessageSeen verdict;
    readNextMessage(w, verdict);
    w.frmMain.btnProg->click();
    ASSERT_TRUE(waitFor([&] { return verdict.shown; }));
    EXPECT_TRUE(verdict.text.endsWith("is not ready!"));

    EXPECT_EQ(x_.outerRect(id(w.frmMain)), before);
    EXPECT_TRUE(reportDocked());
}

// Moving the main window carries the report window along below its frame.
TEST_F(DesktopTest, ReportWindowFollowsTheMainWindowsFrame) {
    GuiWindows& w = start(Mode::internal);
    ASSERT_TRUE(framed(w.frmMain));
    ASSERT_TRUE(waitFor([&] { return reportDocked(); }));
    const QRect before = x_.outerRect(id(w.frmMain));

    w.frmMain.move(w.frmMain.pos() + QPoint(-120, -90));
    ASSERT_TRUE(waitFor([&] { return x_.outerRect(id(w.frmMain)).topLeft() != before.topLeft(); }));
    EXPECT_TRUE(waitFor([&] { return reportDocked(); }));
}

// The question and the overview carry their own captions, nothing appended.
TEST_F(DesktopTest, QuestionAndOverviewCaptionsAsTheWindowManagerShowsThem) {
    GuiWindows& w = start(Mode::normal);
    ASSERT_TRUE(framed(w.frmMain));

    EXPECT_EQ(captionOfModal(
                  "question", [&] { w.frmMain.btnProg->click(); }, "No"),
              "Confirm");
    EXPECT_EQ(captionOfModal(
                  "overview", [&] { w.frmMain.menInfoFirmware->trigger(); }, "OK"),
              "Overview");
}

}  // namespace
}  // namespace pelion::test
