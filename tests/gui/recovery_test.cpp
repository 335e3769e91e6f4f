// The window program's update history: a pinned logger whose update was killed while it
// programmed is asked about when the window finds it in its bootloader; Yes keeps its 5.136.
// The setting history=0 keeps no history at all.
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fstream>
#include <thread>

#include "sim/simulated_logger.h"
#include "tests/cli/child_process.h"
#include "tests/gui/gui_fixture.h"
#include "tests/support/image_11_logger.h"
#include "tests/support/image_lines.h"

namespace pelion::test {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::minutes cWHOLE_RUN{5};

sim::LoggerConfig pinnedLogger() {
    sim::LoggerConfig config;
    config.appVersion = 0x0588;  // 5.136
    config.serialNumber = 328300;
    config.platform = config.upidPlatform = 12;
    config.print = config.upidPrint = 30;
    return config;
}

class WindowHistory : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        ASSERT_TRUE(stateDir_.isValid());
        qputenv("XDG_STATE_HOME", QFile::encodeName(stateDir_.path()));
    }

    std::string historyFile() const {
        return stateDir_.filePath("pelion-update/history.jsonl").toStdString();
    }

    // pelion-update, killed (SIGKILL) on data line 300 of the update; the logger is powered
    // again and waits in its bootloader.
    void killUpdateWhileProgramming(sim::SimulatedLogger& logger) {
        logger.powerCutAtDataLine(300);
        ChildProcess update({buildProgram("pelion-update"), "--port", logger.portPath(), "--yes"},
                            {});
        ASSERT_TRUE(waitFor([&] { return logger.powerIsCut(); }));
        update.signal(SIGKILL);
        EXPECT_EQ(update.finish(), 128 + SIGKILL);
        logger.clearFaults();
        logger.restart();
        ASSERT_TRUE(logger.inBootloader());
    }

    // Update, answered Yes, then `recoveryAnswer` to the question about the logger where one
    // is given; the verdict.
    QString updateAnswering(sim::SimulatedLogger& logger, const QString& recoveryAnswer = {},
                            QuestionSeen* recovery = nullptr) {
        GuiWindows& w = start(Mode::normal);
        w.frmMain.setPortField(QString::fromStdString(logger.portPath()));
        QuestionSeen update;
        answerNextQuestion("Yes", update);
        w.frmMain.btnProg->click();
        EXPECT_TRUE(update.asked);
        if (recovery) {
            answerNextQuestion(recoveryAnswer, *recovery);
        }
        MessageSeen verdict;
        readNextMessage(w, verdict);
        EXPECT_TRUE(waitFor([&] { return verdict.shown; }, cWHOLE_RUN));
        return verdict.text;
    }

    QTemporaryDir stateDir_;
};

struct AnswerCase {
    const char* answer;
    int image;
    const char* reportSays;
};

TEST_F(WindowHistory, APinnedLoggerLeftInItsBootloaderIsAskedAbout) {
    const AnswerCase cases[] = {
        {"Yes", 8,
         " -> The image choice uses SN 328300, version 5.136 from the interrupted "
         "update."},
        {"No", 7, "image 7 (V5.134) fits without them."},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.answer);
        QFile::remove(QString::fromStdString(historyFile()));
        sim::SimulatedLogger logger(pinnedLogger());
        killUpdateWhileProgramming(logger);

        QuestionSeen recovery;
        const QString verdict = updateAnswering(logger, c.answer, &recovery);
        ASSERT_TRUE(recovery.asked);
        EXPECT_EQ(recovery.title, "Confirm");
        EXPECT_TRUE(recovery.text.startsWith("Is this the logger SN 328300, version 5.136"))
            << recovery.text.toStdString();
        EXPECT_EQ(recovery.buttons, QStringList({"Yes", "No"}));
        EXPECT_EQ(recovery.defaultButton, "No");
        EXPECT_TRUE(verdict.endsWith("succesfully completed.")) << verdict.toStdString();
        EXPECT_TRUE(logger.flashEquals(imageLines(c.image)));
        const QStringList report = windows().frmProtocol.lines();
        EXPECT_EQ(report.filter(" -> Interrupted update of ").size(), 1);
        EXPECT_EQ(report.filter(c.reportSays).size(), 1) << report.join("\n").toStdString();
    }
}

TEST_F(WindowHistory, TheSettingHistory0KeepsNone) {
    QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).mkpath("Tessaly");
    std::ofstream(qEnvironmentVariable("XDG_CONFIG_HOME").toStdString() + "/Tessaly/Orvo.conf")
        << "[General]\nhistory=0\n";
    sim::SimulatedLogger logger(loggerOfImage11());
    EXPECT_TRUE(updateAnswering(logger).endsWith("succesfully completed."));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(historyFile())));
}

TEST_F(WindowHistory, AnUpdateIsRecordedTwice) {
    sim::SimulatedLogger logger(loggerOfImage11());
    EXPECT_TRUE(updateAnswering(logger).endsWith("succesfully completed."));
    std::ifstream in(historyFile());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(R"("state":"programming")"), std::string::npos);
    EXPECT_NE(lines[1].find(R"("program":"pelion-update-gui")"), std::string::npos);
    EXPECT_NE(lines[1].find(R"("serial_number":327980)"), std::string::npos);
}

}  // namespace
}  // namespace pelion::test
