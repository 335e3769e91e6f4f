// The update history as a user and a production line meet it: the records pelion-update
// writes before programming and after the verdict, --history, a history that cannot be written,
// and the recovery of a pinned logger whose update was killed in the middle.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "app/sha256.h"
#include "firmware/catalogue.h"
#include "sim/simulated_logger.h"
#include "tests/cli/child_process.h"
#include "tests/support/image_11_logger.h"
#include "tests/support/image_lines.h"
#include "tests/support/text_lines.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;
using test::ChildProcess;
using test::imageLines;

constexpr std::uint32_t cPINNED_SERIAL = 328300;
constexpr int cIMAGE_5_136 = 8;
constexpr int cIMAGE_5_134 = 7;

// A pinned logger running 5.136 on platform 12, print 30 (A9d): images 8 and 7 fit its
// bootloader, and only its serial number and version keep it on 8.
sim::LoggerConfig pinnedLogger() {
    sim::LoggerConfig config;
    config.appVersion = 0x0588;
    config.serialNumber = cPINNED_SERIAL;
    config.platform = config.upidPlatform = 12;
    config.print = config.upidPrint = 30;
    return config;
}

class History : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("pelion_history_cli_" + std::to_string(getpid()) + "_" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "config");
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path historyFile() const { return folder_ / "state" / "pelion-update" / "history.jsonl"; }

    std::unique_ptr<ChildProcess> start(std::vector<std::string> args) {
        args.insert(args.begin(), test::buildProgram("pelion-update"));
        return std::make_unique<ChildProcess>(
            args,
            std::map<std::string, std::string>{{"XDG_CONFIG_HOME", (folder_ / "config").string()},
                                               {"XDG_STATE_HOME", (folder_ / "state").string()}});
    }

    int run(std::vector<std::string> args) {
        tool_ = start(std::move(args));
        return tool_->finish();
    }

    // The history as `pelion-update --history --json` gives it.
    std::vector<json> records() {
        EXPECT_EQ(run({"--history", "--json"}), 0) << tool_->err();
        std::vector<json> lines;
        for (const std::string& line : test::linesOf(tool_->out())) {
            lines.push_back(json::parse(line));
        }
        return lines;
    }

    // Starts an update of the pinned logger and kills it (SIGKILL) while it programs, on data
    // line `line`; the logger is powered again and waits in its bootloader.
    void killUpdateWhileProgramming(sim::SimulatedLogger& logger, int line) {
        logger.powerCutAtDataLine(line);
        auto update = start({"--port", logger.portPath(), "--yes"});
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!logger.powerIsCut() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_TRUE(logger.powerIsCut()) << update->err();
        update->signal(SIGKILL);
        EXPECT_EQ(update->finish(), 128 + SIGKILL);
        logger.clearFaults();
        logger.restart();
        ASSERT_TRUE(logger.inBootloader());
    }

    std::unique_ptr<ChildProcess> tool_;
    fs::path folder_;
};

// The quality bar of the issue: after an update, --history --json shows the run with the
// logger's serial number, the image and the verdict; the programming record comes first.
TEST_F(History, AnUpdateWritesARecordBeforeProgrammingAndOneWithItsVerdict) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    ASSERT_EQ(run({"--port", logger.portPath(), "--yes"}), 0) << tool_->err();
    ASSERT_TRUE(logger.flashEquals(imageLines(11)));

    const std::vector<json> r = records();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0]["state"], "programming");
    EXPECT_EQ(r[0]["verdict"], "");
    EXPECT_EQ(r[1]["state"], "ended");
    EXPECT_EQ(r[0]["id"], r[1]["id"]);
    for (const json& record : r) {
        EXPECT_EQ(record["program"], "pelion-update");
        EXPECT_EQ(record["port"], logger.portPath());
        EXPECT_EQ(record["logger"]["serial_number"], 327980);
        EXPECT_EQ(record["logger"]["app_version"], 0x0601);
        EXPECT_EQ(record["logger"]["platform"], 24);
        EXPECT_EQ(record["logger"]["print"], 49);
        EXPECT_EQ(record["logger"]["bootloader_class"], 0xC802);
        EXPECT_EQ(record["logger"]["update_info"], 0x1A);
        EXPECT_EQ(record["image"]["index"], 11);
        EXPECT_EQ(record["image"]["version"], "6.02");
        EXPECT_EQ(record["facts"]["source"], "logger");
    }
    std::string image;
    for (const std::string& line : imageLines(11)) {
        image += line + "\n";
    }
    EXPECT_EQ(r[0]["image"]["sha256"], sha256Hex(image));
    EXPECT_EQ(r[1]["image"]["sha256"], sha256Hex(image));
    EXPECT_EQ(r[1]["lines_sent"], logger.writeOrder().size());
    EXPECT_EQ(r[1]["verdict"], "Update PelionB V6.02 succesfully completed.");
    EXPECT_EQ(r[1]["exit"], 0);

    ASSERT_EQ(run({"--history"}), 0);
    const auto rows = test::linesOf(tool_->out());
    ASSERT_EQ(rows.size(), 2u) << tool_->out();
    EXPECT_NE(rows[1].find(logger.portPath()), std::string::npos);
    EXPECT_NE(rows[1].find("SN 327980, V6.1"), std::string::npos) << rows[1];
    EXPECT_NE(rows[1].find("image 11 (V6.02)"), std::string::npos) << rows[1];
    EXPECT_TRUE(rows[1].ends_with("Update PelionB V6.02 succesfully completed.")) << rows[1];
}

// The record is on the disk before the first data line reaches the logger.
TEST_F(History, TheProgrammingRecordIsOnDiskBeforeTheFirstDataLine) {
    sim::SimulatedLogger logger(pinnedLogger());
    killUpdateWhileProgramming(logger, 0);
    const std::vector<json> r = records();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0]["state"], "programming");
    EXPECT_EQ(r[0]["image"]["index"], cIMAGE_5_136);
    EXPECT_EQ(r[0]["logger"]["serial_number"], cPINNED_SERIAL);
}

TEST_F(History, SeveralPortsAtOnceEachWriteTheirRecords) {
    sim::SimulatedLogger first(test::loggerOfImage11());
    sim::SimulatedLogger second(pinnedLogger());
    ASSERT_EQ(run({"--port", first.portPath(), "--port", second.portPath(), "--yes"}), 0)
        << tool_->err();
    const std::vector<json> r = records();
    ASSERT_EQ(r.size(), 4u);
    for (const auto& [port, image] :
         {std::pair{first.portPath(), 11}, std::pair{second.portPath(), cIMAGE_5_136}}) {
        std::vector<std::string> states;
        for (const json& record : r) {
            if (record["port"] == port) {
                states.push_back(record["state"]);
                EXPECT_EQ(record["image"]["index"], image) << port;
            }
        }
        EXPECT_EQ(states, (std::vector<std::string>{"programming", "ended"})) << port;
    }
}

TEST_F(History, ReadInfoOnlyAndNoHistoryRecordWhatTheyShould) {
    fs::create_directories(folder_ / "config" / "Tessaly");
    std::ofstream(folder_ / "config" / "Tessaly" / "Orvo.conf") << "[General]\nintern=6021\n";
    sim::SimulatedLogger logger(test::loggerOfImage11());
    ASSERT_EQ(run({"--port", logger.portPath(), "--read-info-only"}), 70) << tool_->err();
    ASSERT_EQ(run({"--port", logger.portPath(), "--yes", "--no-history"}), 0) << tool_->err();
    const std::vector<json> r = records();
    ASSERT_EQ(r.size(), 1u) << "--no-history writes nothing";
    EXPECT_EQ(r[0]["state"], "ended");
    EXPECT_EQ(r[0]["verdict"], "Only read update info!");
    EXPECT_EQ(r[0]["exit"], 70);
    EXPECT_EQ(r[0]["lines_sent"], 0);
    EXPECT_EQ(r[0]["logger"]["serial_number"], 327980);
}

// A data folder that cannot take the history costs one line, never the update.
TEST_F(History, AFolderThatCannotBeWrittenCostsOneLineAndNotTheUpdate) {
    std::ofstream(folder_ / "state") << "a file where the data folder belongs";
    sim::SimulatedLogger logger(test::loggerOfImage11());
    ASSERT_EQ(run({"--port", logger.portPath(), "--yes"}), 0) << tool_->err();
    EXPECT_TRUE(logger.flashEquals(imageLines(11)));
    EXPECT_EQ(test::occurrences(tool_->err(), "pelion-update: History not written: "), 1u)
        << tool_->err();
    EXPECT_EQ(test::occurrences(tool_->out(), "History not written"), 0u) << tool_->out();
    EXPECT_TRUE(test::linesOf(tool_->out()).back().ends_with("succesfully completed."));
}

TEST_F(History, ACutLastLineIsSkippedWithAWord) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    ASSERT_EQ(run({"--port", logger.portPath(), "--yes"}), 0) << tool_->err();
    std::ofstream(historyFile(), std::ios::app) << R"({"id":"cut-by-a-crash","sta)";
    ASSERT_EQ(run({"--port", logger.portPath(), "--yes"}), 0) << tool_->err();
    EXPECT_EQ(records().size(), 4u);
    EXPECT_NE(tool_->err().find("1 line(s) of the history"), std::string::npos) << tool_->err();
}

struct RecoveryCase {
    const char* name;
    std::vector<std::string> options;
    // Changes the interrupted update's record, as if another logger had been on the port.
    const char* recordedField;
    int recordedValue;
    int image;         // the image the logger ends with
    const char* says;  // a report line of the second run; nullptr: none about the history
};

void PrintTo(const RecoveryCase& c, std::ostream* os) {
    *os << c.name;
}

class Recovery : public History, public testing::WithParamInterface<RecoveryCase> {
protected:
    void changeRecords(const char* field, int value) {
        std::ifstream in(historyFile());
        std::string text;
        for (std::string line; std::getline(in, line);) {
            json record = json::parse(line);
            record["logger"][field] = value;
            text += record.dump() + "\n";
        }
        in.close();
        std::ofstream(historyFile()) << text;
    }
};

// The pinned logger's update is killed while it programs; the next run finds the logger in its
// bootloader, which cannot tell its serial number.
TEST_P(Recovery, TheNextRunEndsOnTheRightImage) {
    const RecoveryCase& c = GetParam();
    sim::SimulatedLogger logger(pinnedLogger());
    killUpdateWhileProgramming(logger, 300);
    if (c.recordedField) {
        changeRecords(c.recordedField, c.recordedValue);
    }
    std::vector<std::string> args{"--port", logger.portPath(), "--yes"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ASSERT_EQ(run(args), 0) << tool_->out() << tool_->err();
    EXPECT_TRUE(logger.flashEquals(imageLines(c.image))) << tool_->out();
    EXPECT_TRUE(logger.vectorTableWritten());
    if (c.says) {
        EXPECT_EQ(test::occurrences(tool_->out(), " -> Interrupted update of "), 1u)
            << tool_->out();
        EXPECT_NE(tool_->out().find(c.says), std::string::npos) << tool_->out();
    } else {
        EXPECT_EQ(tool_->out().find("interrupted update"), std::string::npos) << tool_->out();
        EXPECT_EQ(tool_->out().find("Interrupted update"), std::string::npos) << tool_->out();
    }
    const json ended = records().back();
    EXPECT_EQ(ended["state"], "ended");
    EXPECT_EQ(ended["image"]["index"], c.image);
    EXPECT_EQ(ended["facts"]["source"], c.image == cIMAGE_5_136 ? "history" : "none");
}

INSTANTIATE_TEST_SUITE_P(
    PinnedLogger, Recovery,
    testing::Values(
        RecoveryCase{"WithResumeKeeps5_136",
                     {"--resume"},
                     nullptr,
                     0,
                     cIMAGE_5_136,
                     " -> The image choice uses SN 328300, version 5.136 from the interrupted "
                     "update."},
        RecoveryCase{"WithoutResumeGets5_134AndSaysWhy",
                     {},
                     nullptr,
                     0,
                     cIMAGE_5_134,
                     "image 7 (V5.134) fits without them. Start pelion-update again with "
                     "--resume to use them."},
        RecoveryCase{
            "AnotherPlatformIsNotAskedAbout", {"--resume"}, "platform", 24, cIMAGE_5_134, nullptr},
        RecoveryCase{"AnotherUpdateIdBlockIsNotAskedAbout",
                     {"--resume"},
                     "update_info",
                     0x1B,
                     cIMAGE_5_134,
                     nullptr}),
    [](const testing::TestParamInfo<RecoveryCase>& info) { return info.param.name; });

}  // namespace
}  // namespace pelion
