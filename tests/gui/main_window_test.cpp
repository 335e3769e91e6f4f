// The main window as the user sees it in each mode, its questions and its docked report window.
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <filesystem>

#include "app/options.h"
#include "tests/gui/gui_fixture.h"

namespace pelion::test {
namespace {

constexpr const char* cTITLE = "Pelion Firmware Update";

TEST_F(GuiTest, NormalModeLooksLikeThePlainUpdater) {
    TfrmMain& main = start(Mode::normal).frmMain;

    EXPECT_EQ(main.windowTitle(), cTITLE);
    EXPECT_EQ(main.windowIconText(), cTITLE);
    EXPECT_EQ(main.Label1->text(), "Comport:");
    EXPECT_EQ(main.btnProg->text(), "Update");
    EXPECT_EQ(main.btnClose->text(), "Close");
    EXPECT_EQ(main.btnCancel->text(), "Cancel");
    EXPECT_TRUE(main.btnFile->isHidden());
    EXPECT_TRUE(main.chkReadInfoOnly->isHidden());
    EXPECT_FALSE(main.chkReadInfoOnly->isChecked());
    EXPECT_TRUE(main.btnClose->isVisible());
    EXPECT_TRUE(main.btnCancel->isHidden());
    EXPECT_EQ(main.btnCancel->geometry(), main.btnClose->geometry());
    EXPECT_EQ(main.btnProg->width(), main.btnClose->width());
    EXPECT_EQ(main.StatusText->text(), "");
    EXPECT_FALSE(windows().frmProtocol.isVisible());

    EXPECT_EQ(main.menInfo->title(), "Info v2022-10-13");
    const QList<QAction*> items = main.menInfo->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->text(), "Firmware");
    EXPECT_EQ(items[1]->text(), "File version");
    EXPECT_FALSE(items[1]->isVisible());
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->text(), "Exit");

    // Fixed size: panel and status bar below the menu, centred on the screen.
    EXPECT_EQ(main.minimumSize(), main.maximumSize());
    EXPECT_EQ(main.height(),
              main.menuBar()->height() + main.Panel1->height() + main.StatusBar1->height());
    const QPoint screenCentre = main.screen()->availableGeometry().center();
    EXPECT_LE((main.frameGeometry().center() - screenCentre).manhattanLength(), 2);
}

// The size is settled once: no status text widens or heightens the window. A long text is
// shown cut; the tool-tip keeps the whole of it.
TEST_F(GuiTest, LongStatusTextsNeitherWidenNorHeightenTheMainWindow) {
    TfrmMain& main = start(Mode::normal).frmMain;
    const QSize before = main.size();
    const std::string longText =
        "Serial port \"/dev/serial/by-id/usb-Tessaly_Orvo_USB_Serial_Adapter_0123456789-if00\" "
        "is not ready!";

    main.setStatus(longText);
    QCoreApplication::processEvents();

    EXPECT_EQ(main.size(), before);
    EXPECT_EQ(main.StatusText->text().toStdString(), longText);
    EXPECT_TRUE(main.StatusText->shownText().endsWith(QChar(0x2026)));
    EXPECT_EQ(main.StatusBar1->toolTip().toStdString(), longText);
    main.setStatus("");
    QCoreApplication::processEvents();
    EXPECT_EQ(main.size(), before);
}

struct ModeCase {
    const char* name;
    Mode mode;
    std::vector<std::string> elements;
    int level;
    bool fileCommands;
    bool readInfoOnly;
    bool report;
    const char* status;
};

void PrintTo(const ModeCase& c, std::ostream* os) {
    *os << c.name;
}

class ModeTest : public GuiTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ModeTest, ShowsTheControlsOfItsMode) {
    const ModeCase& c = GetParam();
    GuiWindows& w = start(c.mode, c.elements);
    TfrmMain& main = w.frmMain;
    ASSERT_TRUE(waitFor([&] { return w.frmProtocol.isVisible() == c.report; }));

    EXPECT_EQ(nInternalLevel, c.level);
    EXPECT_EQ(main.btnFile->isVisible(), c.fileCommands);
    EXPECT_EQ(main.menInfoFile->isVisible(), c.fileCommands);
    EXPECT_EQ(main.chkReadInfoOnly->isVisible(), c.readInfoOnly);
    EXPECT_EQ(main.StatusText->text(), c.status);
    if (c.fileCommands) {
        const int half = main.btnClose->width() / 2;
        EXPECT_EQ(main.btnProg->width(), half);
        EXPECT_EQ(main.btnFile->width(), half);
        EXPECT_EQ(main.btnFile->x(), main.btnProg->geometry().right() + 1 + 8);
        EXPECT_EQ(main.btnFile->y(), main.btnProg->y());
        EXPECT_EQ(main.btnFile->text(), "File");
    } else {
        EXPECT_EQ(main.btnProg->width(), main.btnClose->width());
    }
    if (c.report) {
        const QRect outer = main.frameGeometry();
        EXPECT_EQ(w.frmProtocol.frameGeometry().topLeft(), outer.bottomLeft() + QPoint(0, 1));
        EXPECT_EQ(w.frmProtocol.frameGeometry().width(), outer.width());
        EXPECT_EQ(w.frmProtocol.windowTitle(), "Report");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ModeTest,
    ::testing::Values(
        ModeCase{"Internal", Mode::internal, {}, 1, false, true, true, ""},
        ModeCase{"InternalFileCommands", Mode::internal, {"f:+"}, 2, true, true, true, ""},
        ModeCase{"FileOptionNeedsInternalMode", Mode::normal, {"f:+"}, 0, false, false, false, ""},
        ModeCase{"MeasurementsCleared", Mode::normal, {"mf:+"}, 0, false, false, false, "F"},
        ModeCase{"MeasurementsClearedInternal",
                 Mode::internal,
                 {"MF:+", "f:+"},
                 2,
                 true,
                 true,
                 true,
                 "F"},
        ModeCase{"MeasurementsKept", Mode::normal, {"mf:-"}, 0, false, false, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct QuestionCase {
    const char* name;
    Mode mode;
    std::vector<std::string> elements;
    const char* question;  // nullptr: none is asked
    const char* answer;
    bool runs;
};

void PrintTo(const QuestionCase& c, std::ostream* os) {
    *os << c.name;
}

class UpdateQuestionTest : public GuiTest, public ::testing::WithParamInterface<QuestionCase> {};

// A port that does not exist: a run that starts ends at once with the port's verdict.
TEST_P(UpdateQuestionTest, AsksBeforeTheUpdateAndGoesOnOnlyOnYes) {
    const QuestionCase& c = GetParam();
    GuiWindows& w = start(c.mode, c.elements);
    w.frmMain.setPortField("/nonexistent/pelion-port");
    const QString statusBefore = w.frmMain.StatusText->text();

    QuestionSeen question;
    if (c.question != nullptr) {
        answerNextQuestion(c.answer, question);
    }
    MessageSeen verdict;
    if (c.runs) {
        readNextMessage(w, verdict);
    }
    w.frmMain.btnProg->click();

    if (c.question != nullptr) {
        ASSERT_TRUE(waitFor([&] { return question.asked; }));
        EXPECT_EQ(question.title, "Confirm");
        EXPECT_EQ(question.text, c.question);
        EXPECT_EQ(question.buttons, (QStringList{"Yes", "No"}));
        EXPECT_EQ(question.defaultButton, "Yes");
    }
    if (c.runs) {
        ASSERT_TRUE(waitFor([&] { return verdict.shown; }));
        EXPECT_EQ(verdict.text,
                  "Aborted because serial port \"/nonexistent/pelion-port\" is not ready!");
    } else {
        EXPECT_EQ(w.frmMain.StatusText->text(), statusBefore);
        EXPECT_TRUE(w.frmMain.btnProg->isEnabled());
    }
}

constexpr const char* cSAVE =
    "Do you save your measurements ?\nDo you really continue without saving ?";
constexpr const char* cCLEARS = "This update clears all measurements!\nDo you really continue ?";

INSTANTIATE_TEST_SUITE_P(
    Paths, UpdateQuestionTest,
    ::testing::Values(
        QuestionCase{"NormalYes", Mode::normal, {}, cSAVE, "Yes", true},
        QuestionCase{"NormalNo", Mode::normal, {}, cSAVE, "No", false},
        QuestionCase{"InternalAsksNothing", Mode::internal, {}, nullptr, "", true},
        QuestionCase{"ClearsYes", Mode::normal, {"mf:+"}, cCLEARS, "Yes", true},
        QuestionCase{"ClearsNo", Mode::normal, {"mf:+"}, cCLEARS, "No", false},
        QuestionCase{"ClearsInternalYes", Mode::internal, {"mf:+"}, cCLEARS, "Yes", true},
        QuestionCase{"ClearsInternalNo", Mode::internal, {"mf:+"}, cCLEARS, "No", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GuiTest, CloseWithoutARunEndsAtOnce) {
    TfrmMain& main = start(Mode::normal).frmMain;
    EXPECT_TRUE(main.close());
    EXPECT_FALSE(main.isVisible());
}

// Started by name through PATH, as the desktop entry starts it, the program's first command-line
// element names no folder; the file dialog still starts in the program's own folder.
TEST_F(GuiTest, FileDialogStartsInTheProgramsOwnFolder) {
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QDir::tempPath()));
    TfrmMain& main = start(Mode::internal, {"f:+"}).frmMain;
    QDir::setCurrent(before);
    const std::filesystem::path program = std::filesystem::canonical("/proc/self/exe");
    EXPECT_EQ(main.OpenDialog1->directory().canonicalPath().toStdString(),
              program.parent_path().string());
}

TEST_F(GuiTest, ReportWindowFollowsTheMainWindow) {
    GuiWindows& w = start(Mode::internal);
    ASSERT_TRUE(waitFor([&] { return w.frmProtocol.isVisible(); }));
    const auto underMain = [&] {
        const QRect outer = w.frmMain.frameGeometry();
        return QPoint(outer.left(), outer.top() + outer.height());
    };

    w.frmMain.move(120, 80);
    ASSERT_TRUE(waitFor([&] { return w.frmMain.frameGeometry().topLeft() == QPoint(120, 80); }));
    EXPECT_EQ(w.frmProtocol.frameGeometry().topLeft(), underMain());

    // Moved away on its own, it returns below the main window at the main window's next move.
    w.frmProtocol.move(600, 10);
    const QSize reportSize = w.frmProtocol.size();
    w.frmMain.move(140, 90);
    ASSERT_TRUE(waitFor([&] { return w.frmMain.frameGeometry().topLeft() == QPoint(140, 90); }));
    EXPECT_EQ(w.frmProtocol.frameGeometry().topLeft(), underMain());
    EXPECT_EQ(w.frmProtocol.size(), reportSize);
}

}  // namespace
}  // namespace pelion::test
