// pelion-update end to end: the real program against a simulated logger, seen as a script sees
// it (exit status, standard output, standard error) and as the logger sees it (its flash and
// the bytes on the wire).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "firmware/catalogue.h"
#include "sim/simulated_logger.h"
#include "tests/cli/child_process.h"
#include "tests/support/bare_terminal.h"
#include "tests/support/image_11_logger.h"
#include "tests/support/image_lines.h"
#include "tests/support/text_lines.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ChildProcess;
using test::imageLines;
using test::linesOf;
using test::occurrences;

class PelionUpdate : public testing::Test {
protected:
    void SetUp() override {
        settings_ = fs::temp_directory_path() / ("pelion_update_" + std::to_string(getpid()));
        fs::create_directories(settings_ / "Tessaly");
    }
    void TearDown() override { fs::remove_all(settings_); }

    void grantInternalMode() {
        std::ofstream(settings_ / "Tessaly" / "Orvo.conf") << "[General]\nintern=6021\n";
    }

    std::string writeFile(const std::string& name, const std::string& text) {
        std::ofstream(settings_ / name) << text;
        return (settings_ / name).string();
    }

    std::unique_ptr<ChildProcess> start(std::vector<std::string> args) {
        args.insert(args.begin(), test::buildProgram("pelion-update"));
        return std::make_unique<ChildProcess>(
            args, std::map<std::string, std::string>{{"XDG_CONFIG_HOME", settings_.string()}});
    }

    // Runs the tool to its end; the exit status.
    int run(std::vector<std::string> args) {
        tool_ = start(std::move(args));
        return tool_->finish();
    }

    const std::string& out() const { return tool_->out(); }
    const std::string& err() const { return tool_->err(); }
    std::string lastLine() const {
        const auto lines = linesOf(out());
        return lines.empty() ? "" : lines.back();
    }

    std::unique_ptr<ChildProcess> tool_;

private:
    fs::path settings_;
};

TEST_F(PelionUpdate, UpdatesTheLoggerToImage11) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    EXPECT_EQ(run({"--port", logger.portPath(), "--yes"}), 0) << err();
    EXPECT_TRUE(logger.flashEquals(imageLines(11)));
    EXPECT_TRUE(logger.vectorTableWritten());

    const std::regex reportLine(R"(\d\d-\d\d-\d\d -> .+)");
    for (const std::string& line : linesOf(out())) {
        EXPECT_TRUE(std::regex_match(line, reportLine)) << line;
    }
    EXPECT_NE(out().find(" -> Start at serial port \"" + logger.portPath() + "\"\n"),
              std::string::npos);
    EXPECT_NE(out().find(" -> Update PelionB V6.02, A9f, BL3.0\n"), std::string::npos);
    EXPECT_TRUE(lastLine().ends_with(" -> Update PelionB V6.02 succesfully completed."))
        << lastLine();
    EXPECT_EQ(err(), "") << "no progress bar without a terminal";
}

TEST_F(PelionUpdate, ReadInfoOnlyStopsAfterTheImageChoice) {
    grantInternalMode();
    sim::SimulatedLogger logger(test::loggerOfImage11());
    EXPECT_EQ(run({"--read-info-only", "--port", logger.portPath()}), 70) << err();
    EXPECT_TRUE(lastLine().ends_with(" -> Only read update info!")) << lastLine();
    EXPECT_TRUE(logger.writeOrder().empty());
}

struct RefusalCase {
    const char* name;
    bool internal;
    std::vector<std::string> args;
    const char* says;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class Refused : public PelionUpdate, public testing::WithParamInterface<RefusalCase> {};

// Nothing is sent to the logger when the tool refuses.
TEST_P(Refused, StopsWithUsageStatusAndNoByteOnTheWire) {
    const RefusalCase& c = GetParam();
    if (c.internal) {
        grantInternalMode();
    }
    sim::SimulatedLogger logger(test::loggerOfImage11());
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--port", logger.portPath()});
    EXPECT_EQ(run(args), 2);
    EXPECT_NE(err().find(c.says), std::string::npos) << err();
    EXPECT_EQ(out(), "");
    EXPECT_TRUE(logger.received().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Refused,
    testing::Values(
        RefusalCase{"ReadInfoOnlyInNormalMode",
                    false,
                    {"--read-info-only", "--yes"},
                    "--read-info-only is not available"},
        RefusalCase{
            "FileInNormalMode", false, {"--file", "x.txt", "f:+"}, "--file is not available"},
        RefusalCase{"FileVersionInNormalMode",
                    false,
                    {"--file-version", "x.txt"},
                    "--file-version is not available"},
        RefusalCase{"FileWithoutFPlus", true, {"--file", "x.txt"}, "--file is not available"},
        RefusalCase{"QuestionWithoutTerminal", false, {}, "Do you save your measurements ?"},
        RefusalCase{
            "ClearsQuestionInInternalMode", true, {"mf:+"}, "This update clears all measurements!"},
        RefusalCase{"UnknownOption", false, {"--bogus"}, "unknown option --bogus"},
        RefusalCase{
            "PortNameWithForgedLine",
            false,
            {"--port", "x\n12-00-00 -> Update PelionB V6.02 succesfully completed.", "--yes"},
            "the port name \"x\\x0A12-00-00 -> Update"},
        RefusalCase{"PortNameWithEscape",
                    false,
                    {"--port", "\x1B]0;title\x07", "--yes"},
                    "\"\\x1B]0;title\\x07\" holds control characters"},
        RefusalCase{"MaxRepeatsNegative",
                    false,
                    {"--max-repeats", "-1", "--yes"},
                    "--max-repeats needs a whole number of 0 or more, or \"unlimited\", not "
                    "\"-1\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PelionUpdate, FirmwareFileThatFailsToLoadSendsNothing) {
    grantInternalMode();
    const std::string file =
        writeFile("bad.txt", "bootloader=3\nbootloader version=0\nClass=26113\nversionH=6\n");
    sim::SimulatedLogger logger(test::loggerOfImage11());
    EXPECT_EQ(run({"--file", file, "--port", logger.portPath(), "f:+"}), 2);
    EXPECT_NE(err().find("line 3"), std::string::npos) << err();
    EXPECT_EQ(out(), "");
    EXPECT_TRUE(logger.received().empty());
}

// Records the logger would not be programmed with (here eight 16-byte records) would leave it
// programmed in part under a success verdict; such a file is refused before the port opens.
TEST_F(PelionUpdate, FirmwareFileOfShortRecordsIsRefusedBeforeAnythingIsSent) {
    grantInternalMode();
    std::string text =
        "bootloader=3\nbootloader version=0\nclass=26113\nversionH=6\nversionL=2\n"
        "platform=24\nprint=49\ndate=13.10.2022 13:42:00\n";
    for (int n = 0; n < 8; ++n) {
        text +=
            ":10000000000000000000000000000000000000" + std::string(n % 2 ? "01EF" : "00F0") + "\n";
    }
    const std::string file = writeFile("short.txt", text + ":00000001FF\n");
    sim::SimulatedLogger logger(test::loggerOfImage11());
    EXPECT_EQ(run({"--file", file, "--port", logger.portPath(), "f:+"}), 2) << out();
    EXPECT_NE(err().find("line 9: a record of type 00 with 16 data bytes"), std::string::npos)
        << err();
    EXPECT_EQ(out(), "");
    EXPECT_TRUE(logger.received().empty());
}

TEST_F(PelionUpdate, CtrlCDuringProgrammingCancels) {
    sim::LoggerConfig config = test::loggerOfImage11();
    config.paced = true;  // programming takes long enough to be interrupted
    sim::SimulatedLogger logger(config);
    tool_ = start({"--port", logger.portPath(), "--yes"});
    ASSERT_TRUE(tool_->waitForOutput(" -> Progress ", 120s)) << tool_->out() << tool_->err();
    tool_->signal(SIGINT);
    EXPECT_EQ(tool_->finish(), 20) << err();
    EXPECT_TRUE(lastLine().ends_with(" -> Process cancelled!")) << lastLine();
    EXPECT_FALSE(logger.vectorTableWritten());
}

TEST_F(PelionUpdate, StopsAfterMaxRepeats) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    logger.muteNextExchanges(1000);
    EXPECT_EQ(run({"--port", logger.portPath(), "--yes", "--max-repeats", "1"}), 30) << err();
    const std::string repeat = " -> Repeat update because communication error!\n";
    EXPECT_EQ(out().find(repeat), out().rfind(repeat)) << "exactly one repeat:\n" << out();
    EXPECT_TRUE(
        lastLine().ends_with(" -> Aborted because of a communication error after 1 repeats!"))
        << lastLine();
}

const std::string cREPEAT_LINE = " -> Repeat update because communication error!\n";
constexpr std::size_t cDEFAULT_REPEATS = 8;

// A port with nothing on it: a script that calls the tool gets an end, with the repeats'
// verdict, without asking for one.
TEST_F(PelionUpdate, PortWithoutALoggerEndsAfterTheDefaultRepeats) {
    test::BareTerminal line;
    EXPECT_EQ(run({"--port", line.slavePath(), "--yes"}), 30) << err();
    EXPECT_EQ(occurrences(out(), cREPEAT_LINE), cDEFAULT_REPEATS) << out();
    EXPECT_TRUE(
        lastLine().ends_with(" -> Aborted because of a communication error after 8 repeats!"))
        << lastLine();
}

// Asked for, the repeats go on past the default until the user cancels.
TEST_F(PelionUpdate, UnlimitedRepeatsGoOnUntilCtrlC) {
    test::BareTerminal line;
    tool_ = start({"--port", line.slavePath(), "--yes", "--max-repeats", "unlimited"});
    ASSERT_TRUE(tool_->waitForOutput(cREPEAT_LINE, 120s, cDEFAULT_REPEATS + 1))
        << tool_->out() << tool_->err();
    tool_->signal(SIGINT);
    EXPECT_EQ(tool_->finish(), 20) << err();
    EXPECT_TRUE(lastLine().ends_with(" -> Process cancelled!")) << lastLine();
}

// The default bound leaves room for the repeats a healthy update may need.
TEST_F(PelionUpdate, DefaultRepeatsLeaveRoomForAFewRepeats) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    logger.muteNextExchanges(15);  // the identity queries of three runs
    EXPECT_EQ(run({"--port", logger.portPath(), "--yes"}), 0) << err();
    EXPECT_EQ(occurrences(out(), cREPEAT_LINE), 3u) << out();
    EXPECT_TRUE(logger.flashEquals(imageLines(11)));
}

// A wrong echo restarts the run; --max-repeats bounds those restarts too.
TEST_F(PelionUpdate, MaxRepeatsBoundsTheRepeatsAfterAProgrammingError) {
    {
        sim::SimulatedLogger logger(test::loggerOfImage11());
        logger.wrongEchoAtDataLine(3);
        EXPECT_EQ(run({"--port", logger.portPath(), "--yes", "--max-repeats", "0"}), 44) << err();
        EXPECT_TRUE(
            lastLine().ends_with(" -> Aborted because of a programming error after 0 repeats!"))
            << lastLine();
        EXPECT_EQ(out().find("Repeat because programming error!"), std::string::npos);
        EXPECT_FALSE(logger.vectorTableWritten());
    }
    sim::SimulatedLogger logger(test::loggerOfImage11());
    logger.wrongEchoAtDataLine(3);
    EXPECT_EQ(run({"--port", logger.portPath(), "--yes", "--max-repeats", "1"}), 0) << err();
    EXPECT_NE(out().find(" -> Repeat because programming error!\n"), std::string::npos);
    EXPECT_TRUE(logger.flashEquals(imageLines(11)));
}

// A pinned logger running 5.136 keeps 5.136 although the repeat finds it in its bootloader,
// where its serial number cannot be read.
class PinnedLoggerRepeat : public PelionUpdate, public testing::WithParamInterface<const char*> {};

TEST_P(PinnedLoggerRepeat, IsProgrammedWithItsPinnedImageAgain) {
    sim::LoggerConfig config;
    config.appVersion = 0x0588;  // 5.136
    config.serialNumber = 328300;
    config.platform = config.upidPlatform = 12;
    config.print = config.upidPrint = 30;
    sim::SimulatedLogger logger(config);
    const std::string repeat = GetParam();
    if (repeat == "wrong echo") {
        logger.wrongEchoAtDataLine(3);
    } else {
        logger.powerCutAtDataLine(3);
    }
    tool_ = start({"--port", logger.portPath(), "--yes"});
    if (repeat == "power cut") {
        ASSERT_TRUE(tool_->waitForOutput(" -> Repeat update because communication error!", 120s))
            << tool_->out() << tool_->err();
        logger.restart();
    }
    EXPECT_EQ(tool_->finish(), 0) << err();
    EXPECT_NE(
        out().find(repeat == "wrong echo" ? " -> Repeat because programming error!\n"
                                          : " -> Repeat update because communication error!\n"),
        std::string::npos)
        << out();
    EXPECT_TRUE(lastLine().ends_with(" -> Update PelionB V5.136 succesfully completed."))
        << lastLine();
    EXPECT_TRUE(logger.flashEquals(imageLines(8)));
    EXPECT_TRUE(logger.vectorTableWritten());
}

INSTANTIATE_TEST_SUITE_P(Repeats, PinnedLoggerRepeat, testing::Values("wrong echo", "power cut"),
                         [](const auto& info) {
                             return std::string(info.param) == "wrong echo" ? "AfterWrongEcho"
                                                                            : "AfterPowerCut";
                         });

TEST_F(PelionUpdate, PortThatDoesNotOpenIsNamed) {
    EXPECT_EQ(run({"--port", "/dev/no-such-logger", "--yes"}), 10);
    EXPECT_TRUE(lastLine().ends_with(
        " -> Aborted because serial port \"/dev/no-such-logger\" is not ready!"))
        << lastLine();
}

TEST_F(PelionUpdate, ListsFirmwareNewestFirstAndFileHeaderFirst) {
    EXPECT_EQ(run({"--list-firmware"}), 0);
    auto lines = linesOf(out());
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_TRUE(
        std::regex_match(lines[0], std::regex("Firmware +Version +Platform +Print +Date +BL")));
    EXPECT_TRUE(std::regex_match(
        lines[1], std::regex("PelionB +6\\.02 +F5335B +A9f +13\\.10\\.2022 13:42:00 +3\\.0")));
    EXPECT_TRUE(lines[11].starts_with("PelionB   3.20")) << lines[11];
    EXPECT_EQ(lines[0].find("Version"), lines[1].find("6.02")) << "columns are aligned";

    grantInternalMode();
    const std::string file =
        writeFile("header.txt",
                  "bootloader=4\nbootloader version=1\nclass=1\nversionH=7\nversionL=5\n"
                  "platform=999\nprint=999\ndate=today\n");
    EXPECT_EQ(run({"--file-version", file, "f:+"}), 0) << err();
    lines = linesOf(out());
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(\? +7\.05 +\? +\? +today +65535\.1)")))
        << lines[1];
}

// The date is the file's own text: escape sequences in it reach no terminal, and a NUL byte
// does not end the table before the embedded images' rows.
TEST_F(PelionUpdate, FileVersionShowsTheFileDateEscaped) {
    grantInternalMode();
    const std::string file = writeFile(
        "hostile.txt", std::string("bootloader=3\nbootloader version=0\nclass=26113\nversionH=6\n"
                                   "versionL=2\nplatform=24\nprint=49\ndate=\x1B]0;pwned\x07") +
                           '\0' + "\x1B[2Jcut\n");
    EXPECT_EQ(run({"--file-version", file, "f:+"}), 0) << err();
    EXPECT_EQ(out().find('\x1B'), std::string::npos) << out();
    const auto lines = linesOf(out());
    ASSERT_EQ(lines.size(), 13u) << out();
    EXPECT_NE(lines[1].find("  \\x1B]0;pwned\\x07\\x00\\x1B[2Jcut  "), std::string::npos)
        << lines[1];
}

TEST_F(PelionUpdate, HelpAndVersion) {
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_TRUE(std::regex_match(
        out(),
        std::regex(
            R"(pelion-update 2022\.10\.13 \(commit [0-9a-f]{40}( with local changes)?\)\n)")))
        << out();
    EXPECT_EQ(run({"--help"}), 0);
    for (const char* documented :
         {"--port", "--list-ports", "--list-firmware", "--read-info-only", "--file PATH",
          "--file-version", "--yes", "--max-repeats", "Ctrl-C", "Exit status", "cc:-", "mf:+"}) {
        EXPECT_NE(out().find(documented), std::string::npos) << documented;
    }
}

}  // namespace
}  // namespace pelion
