// The report, message and overview windows, and the firmware file commands that feed the
// overview and the File button.
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "firmware/catalogue.h"
#include "tests/firmware/firmware_files.h"
#include "tests/gui/gui_fixture.h"

namespace pelion::test {
namespace {

QStringList rowTexts(QTreeWidgetItem* item) {
    QStringList texts;
    for (int column = 0; column < item->columnCount(); ++column) {
        texts << item->text(column);
    }
    return texts;
}

struct OverviewSeen {
    bool opened = false;
    QStringList headers;
    QList<QStringList> rows;
    QRect outer;
    int clientWidth = 0;
    int columnSum = 0;
    bool okHasFocus = false;
    QString title;
};

// Records the next overview and closes it with OK.
void readNextOverview(TfrmInfo& info, OverviewSeen& seen) {
    onNextModal(
        [&info, &seen](QWidget* modal) {
            if (modal != &info) {
                ADD_FAILURE() << "the overview was expected";
                modal->close();
                return;
            }
            QTreeWidget* list = info.ListView1;
            for (int column = 0; column < list->columnCount(); ++column) {
                seen.headers << list->headerItem()->text(column);
                seen.columnSum += list->columnWidth(column);
                EXPECT_GE(list->columnWidth(column), list->header()->sectionSizeHint(column) + 5);
            }
            for (int row = 0; row < list->topLevelItemCount(); ++row) {
                seen.rows << rowTexts(list->topLevelItem(row));
            }
            seen.outer = info.frameGeometry();
            seen.clientWidth = info.width();
            seen.okHasFocus = info.focusWidget() == info.Button1;
            seen.title = info.windowTitle();
            info.Button1->click();
        },
        seen.opened);
}

// Picks `file` in the next file dialog; `next` then watches for the window that follows it.
void pickNextFile(const QString& file, bool& picked, const std::function<void()>& next) {
    onNextModal(
        [file, next](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (dialog == nullptr) {
                ADD_FAILURE() << "the file dialog was expected";
                modal->close();
                return;
            }
            // As a user would: type the path into the file name field and accept.
            auto* nameField = dialog->findChild<QLineEdit*>("fileNameEdit");
            if (nameField == nullptr) {
                ADD_FAILURE() << "the file dialog has no file name field";
                modal->close();
                return;
            }
            next();
            nameField->setText(file);
            static_cast<QDialog*>(dialog)->accept();
        },
        picked);
}

TEST_F(GuiTest, MessageWindowLiesOverTheLowerPartOfTheMainWindowUntilOk) {
    GuiWindows& w = start(Mode::normal);
    TfrmMessage& message = w.frmMessage;
    // 140 high with its frame, which is drawn like the main window's.
    const int frameHeight = w.frmMain.frameGeometry().height() - w.frmMain.height();
    message.resize(message.width(), 140 - frameHeight);

    bool opened = false;
    onNextModal(
        [&](QWidget* modal) {
            ASSERT_EQ(modal, &message);
            EXPECT_EQ(message.windowTitle(), "Information");
            EXPECT_FALSE(message.windowFlags() & Qt::WindowCloseButtonHint);
            EXPECT_EQ(message.frameGeometry(), QRect(110, 200, 480, 140));
            EXPECT_EQ(message.Memo1->toPlainText(), "First line\nsecond line");
            EXPECT_TRUE(message.Memo1->isReadOnly());

            QTest::keyClick(&message, Qt::Key_Escape);
            EXPECT_TRUE(message.isVisible()) << "Escape closed the message";
            message.close();
            EXPECT_TRUE(message.isVisible()) << "a close request closed the message";
            EXPECT_EQ(message.Button1->text(), "OK");
            // OK fills the 45-high bar at its left edge, 93 wide.
            EXPECT_EQ(message.Panel1->height(), 45);
            EXPECT_EQ(message.Button1->geometry(), QRect(0, 0, 93, 45));
            message.Button1->click();
        },
        opened);
    message.showMsg("First line\nsecond line", 100, 50, 500, 300);

    EXPECT_TRUE(opened);
    EXPECT_FALSE(message.isVisible());
}

TEST_F(GuiTest, ReportLinesAreTimeStampedAndTheNewestStaysInView) {
    TfrmProtocol& report = start(Mode::internal).frmProtocol;
    ASSERT_TRUE(waitFor([&] { return report.isVisible(); }));
    EXPECT_FALSE(report.close()) << "the user closed the report window";

    report.Add("first");
    report.Clear();
    report.Add("Class 26113 [PelionB]");
    ASSERT_EQ(report.lines().size(), 1);
    EXPECT_TRUE(QRegularExpression("^\\d\\d-\\d\\d-\\d\\d -> Class 26113 \\[PelionB\\]$")
                    .match(report.lines().front())
                    .hasMatch())
        << report.lines().front().toStdString();

    for (int i = 0; i < 200; ++i) {
        report.Add(QString("Progress %1%").arg(i));
    }
    QScrollBar* bar = report.Memo1->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(GuiTest, OverviewListsTheEmbeddedImagesNewestFirst) {
    GuiWindows& w = start(Mode::normal);
    const QRect mainOuter = w.frmMain.frameGeometry();

    for (int opening = 0; opening < 2; ++opening) {
        OverviewSeen seen;
        readNextOverview(w.frmInfo, seen);
        w.frmMain.menInfoFirmware->trigger();
        ASSERT_TRUE(seen.opened);

        EXPECT_EQ(seen.title, "Overview");
        EXPECT_EQ(seen.headers,
                  (QStringList{"Firmware", "Version", "Platform", "Print", "Date", "BL"}));
        ASSERT_EQ(seen.rows.size(), 11);
        EXPECT_EQ(seen.rows.front(),
                  (QStringList{"PelionB", "6.02", "F5335B", "A9f", "13.10.2022 13:42:00", "3.0"}));
        EXPECT_EQ(seen.rows.back()[1], "3.20");
        EXPECT_EQ(seen.rows.back()[2], "F1612 A");
        EXPECT_EQ(seen.rows.back()[3], "A0");
        EXPECT_EQ(seen.rows.back()[5], "2.0");
        EXPECT_EQ(seen.outer.topLeft(), mainOuter.topLeft());
        EXPECT_EQ(seen.outer.height(), mainOuter.height());
        EXPECT_EQ(seen.clientWidth, seen.columnSum + 30);
        EXPECT_TRUE(seen.okHasFocus);
    }
}

TEST_F(GuiTest, FileVersionPutsTheFilesHeaderFirst) {
    GuiWindows& w = start(Mode::internal, {"f:+"});
    QTemporaryDir folder;
    std::string text = imageFileText(11);
    text.replace(text.find("versionH=6"), 10, "versionH=7");
    text.replace(text.find("platform=24"), 11, "platform=25");
    const QString file = folder.filePath("next.txt");
    { std::ofstream(file.toStdString()) << text; }

    bool picked = false;
    OverviewSeen seen;
    pickNextFile(file, picked, [&] { readNextOverview(w.frmInfo, seen); });
    w.frmMain.menInfoFile->trigger();

    ASSERT_TRUE(picked);
    ASSERT_TRUE(waitFor([&] { return seen.opened; }));
    ASSERT_EQ(seen.rows.size(), 12);
    EXPECT_EQ(seen.rows.front(),
              (QStringList{"PelionB", "7.02", "?", "A9f", "13.10.2022 13:42:00", "3.0"}));
    EXPECT_EQ(seen.rows[1][1], "6.02");
    EXPECT_EQ(ChosenImage.load(), 0);
}

TEST_F(GuiTest, FileThatDoesNotLoadSaysWhyAndStartsNothing) {
    GuiWindows& w = start(Mode::internal, {"f:+"});
    QTemporaryDir folder;
    std::string text = imageFileText(11);
    text.replace(text.find("class="), 6, "Class=");
    const QString file = folder.filePath("broken.txt");
    { std::ofstream(file.toStdString()) << text; }

    bool picked = false;
    MessageSeen message;
    pickNextFile(file, picked, [&] { readNextMessage(w, message); });
    w.frmMain.btnFile->click();

    ASSERT_TRUE(waitFor([&] { return message.shown; }));
    EXPECT_TRUE(message.text.startsWith("The firmware file cannot be used:\nline 3: "))
        << message.text.toStdString();
    EXPECT_TRUE(w.frmMain.btnProg->isEnabled());
    EXPECT_TRUE(w.frmMain.btnClose->isVisible());
    EXPECT_EQ(w.frmMain.StatusText->text(), "");
    EXPECT_TRUE(w.frmProtocol.lines().isEmpty());
    EXPECT_EQ(ChosenImage.load(), -1);
}

// A named pipe picked in the file dialog (nobody writes to it) is refused at once by both file
// commands; reading it would block the window for ever.
TEST_F(GuiTest, NamedPipeAsFirmwareFileIsRefusedAtOnce) {
    QTemporaryDir folder;
    const QString fifo = folder.filePath("pipe.txt");
    ASSERT_EQ(mkfifo(fifo.toStdString().c_str(), 0600), 0);
    const struct {
        const char* name;
        void (*pick)(TfrmMain&);
    } commands[] = {
        {"File version", [](TfrmMain& main) { main.menInfoFile->trigger(); }},
        {"File", [](TfrmMain& main) { main.btnFile->click(); }},
    };
    GuiWindows& w = start(Mode::internal, {"f:+"});
    for (const auto& command : commands) {
        SCOPED_TRACE(command.name);
        bool picked = false;
        MessageSeen message;
        pickNextFile(fifo, picked, [&] { readNextMessage(w, message); });
        command.pick(w.frmMain);
        ASSERT_TRUE(waitFor([&] { return message.shown; }));
        EXPECT_EQ(message.text.toStdString(),
                  "The firmware file cannot be used:\nthis is not a regular file (a named pipe, a "
                  "device or a socket), so it is no firmware file");
        EXPECT_TRUE(w.frmMain.btnProg->isEnabled());
    }
}

}  // namespace
}  // namespace pelion::test
