// pelion-update on several ports at once: loggers of different generations, each on its own
// simulated port, updated by one process; what each logger holds afterwards, the report lines
// of each port, the summary table and the exit status.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "firmware/catalogue.h"
#include "reliability/logger_setups.h"
#include "sim/simulated_logger.h"
#include "tests/cli/child_process.h"
#include "tests/support/terminal_screen.h"
#include "tests/support/text_lines.h"

namespace pelion {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::ErrorTo;
using test::linesOf;
using test::TerminalScreen;

// One logger of each bootloader generation and platform kind, first in image order: the
// oldest bootloader, both newer ones and the newest image.
std::vector<reliability::LoggerSetup> fourGenerations() {
    std::vector<reliability::LoggerSetup> chosen;
    for (const auto& setup : reliability::loggerSetups()) {
        const bool seen = std::any_of(chosen.begin(), chosen.end(), [&](const auto& c) {
            return c.config.blClass == setup.config.blClass &&
                   c.config.platform == setup.config.platform;
        });
        if (!seen && chosen.size() < 3) {
            chosen.push_back(setup);
        }
    }
    chosen.push_back(reliability::loggerSetups().back());
    return chosen;
}

class SeveralPorts : public testing::Test {
protected:
    void startLoggers(const std::vector<sim::LoggerConfig>& configs) {
        for (const auto& config : configs) {
            loggers_.push_back(std::make_unique<sim::SimulatedLogger>(config));
        }
    }

    std::vector<std::string> portArgs() const {
        std::vector<std::string> args;
        for (const auto& logger : loggers_) {
            args.push_back("--port");
            args.push_back(logger->portPath());
        }
        args.push_back("--yes");
        return args;
    }

    std::unique_ptr<ChildProcess> start(std::vector<std::string> args,
                                        ErrorTo errorTo = ErrorTo::pipe) {
        args.insert(args.begin(), test::buildProgram("pelion-update"));
        return std::make_unique<ChildProcess>(
            args, std::map<std::string, std::string>{{"TERM", "xterm"}}, errorTo);
    }

    // The report lines of one port, without their prefix.
    std::vector<std::string> reportOf(const ChildProcess& tool, const std::string& port) const {
        std::vector<std::string> lines;
        for (const std::string& line : linesOf(tool.out())) {
            if (line.starts_with(port + ": ")) {
                lines.push_back(line.substr(port.size() + 2));
            }
        }
        return lines;
    }

    // The summary row of one port: the line after the report that starts with it.
    std::string summaryRowOf(const ChildProcess& tool, const std::string& port) const {
        for (const std::string& line : linesOf(tool.out())) {
            if (line.starts_with(port + " ")) {
                return line;
            }
        }
        return {};
    }

    std::vector<std::unique_ptr<sim::SimulatedLogger>> loggers_;
};

TEST_F(SeveralPorts, FourGenerationsAreUpdatedAtOnceEachWithItsOwnImage) {
    const auto setups = fourGenerations();
    std::vector<sim::LoggerConfig> configs;
    for (const auto& setup : setups) {
        configs.push_back(setup.config);
    }
    startLoggers(configs);
    auto tool = start(portArgs());
    ASSERT_EQ(tool->finish(), 0) << tool->out() << tool->err();

    for (std::size_t i = 0; i < setups.size(); ++i) {
        const std::string port = loggers_[i]->portPath();
        EXPECT_TRUE(loggers_[i]->flashEquals(getFirmwareLines(setups[i].image)))
            << port << " image " << setups[i].image;
        const auto report = reportOf(*tool, port);
        ASSERT_FALSE(report.empty()) << port;
        EXPECT_TRUE(report.front().ends_with(" -> Start at serial port \"" + port + "\""))
            << report.front();
        EXPECT_TRUE(report.back().ends_with("succesfully completed.")) << report.back();
        const std::string row = summaryRowOf(*tool, port);
        EXPECT_NE(row.find("image " + std::to_string(setups[i].image) + " "), std::string::npos)
            << row;
        EXPECT_TRUE(row.ends_with("succesfully completed.")) << row;
    }
    EXPECT_NE(tool->out().find("PORT"), std::string::npos) << "the summary has a heading";
}

// The first logger that fails in the order given sets the exit status; the others are updated.
TEST_F(SeveralPorts, OneLoggerOfAnotherClassFailsWhileTheOthersSucceed) {
    const auto& setups = reliability::loggerSetups();
    sim::LoggerConfig wrongClass = setups.back().config;
    wrongClass.appClass = 0x1234;
    startLoggers({setups.back().config, wrongClass, setups.front().config});
    auto tool = start(portArgs());
    EXPECT_EQ(tool->finish(), 40) << tool->out() << tool->err();

    EXPECT_TRUE(loggers_[0]->flashEquals(getFirmwareLines(setups.back().image)));
    EXPECT_TRUE(loggers_[2]->flashEquals(getFirmwareLines(setups.front().image)));
    const std::string failed = loggers_[1]->portPath();
    EXPECT_TRUE(reportOf(*tool, failed)
                    .back()
                    .ends_with("Aborted because no update is available for this logger!"));
    EXPECT_TRUE(summaryRowOf(*tool, failed)
                    .ends_with("Aborted because no update is available for this logger!"))
        << tool->out();
    EXPECT_TRUE(summaryRowOf(*tool, loggers_[0]->portPath()).ends_with("succesfully completed."));
}

// On a terminal, each logger has a progress row below the report lines while the runs go on;
// the rows end with each logger's verdict and leave the screen before the summary.
TEST_F(SeveralPorts, OnATerminalEachLoggerHasAProgressRow) {
    const auto& setups = reliability::loggerSetups();
    sim::LoggerConfig wrongClass = setups.back().config;
    wrongClass.appClass = 0x1234;
    startLoggers({setups.back().config, wrongClass});
    auto tool = start(portArgs(), ErrorTo::terminal);
    EXPECT_EQ(tool->finish(), 40) << tool->out();
    const std::string good = loggers_[0]->portPath();
    const std::string failed = loggers_[1]->portPath();
    EXPECT_TRUE(reportOf(*tool, good).back().ends_with("succesfully completed."));
    EXPECT_TRUE(summaryRowOf(*tool, failed).ends_with("no update is available for this logger!"));

    TerminalScreen screen;
    screen.feed(tool->err());
    EXPECT_TRUE(screen.lines().empty()) << tool->err();
    const auto showsBar = [&](const std::vector<std::string>& rows) {
        return rows.size() == 2 && rows[0].starts_with(good + " ") &&
               rows[0].find("  [#") != std::string::npos && rows[0].ends_with(" left") &&
               rows[1].starts_with(failed + " ");
    };
    EXPECT_TRUE(std::any_of(screen.erased().begin(), screen.erased().end(), showsBar))
        << tool->err();
    ASSERT_FALSE(screen.erased().empty());
    const std::vector<std::string>& last = screen.erased().back();
    ASSERT_EQ(last.size(), 2u) << tool->err();
    EXPECT_TRUE(last[0].starts_with(good + " ")) << last[0];
    EXPECT_TRUE(last[0].ends_with("succesfully completed.")) << last[0];
    EXPECT_TRUE(last[1].starts_with(failed + " ")) << last[1];
    EXPECT_TRUE(last[1].ends_with("  Aborted because no update is available for this logger!"))
        << last[1];
}

TEST_F(SeveralPorts, CtrlCCancelsEveryRun) {
    std::vector<sim::LoggerConfig> configs(3, reliability::loggerSetups().back().config);
    for (auto& config : configs) {
        config.paced = true;  // programming takes long enough to be interrupted
    }
    startLoggers(configs);
    auto tool = start(portArgs());
    ASSERT_TRUE(tool->waitForOutput(" -> Progress ", 120s)) << tool->out() << tool->err();
    tool->signal(SIGINT);
    EXPECT_EQ(tool->finish(), 20) << tool->err();
    for (const auto& logger : loggers_) {
        EXPECT_TRUE(reportOf(*tool, logger->portPath()).back().ends_with(" -> Process cancelled!"))
            << tool->out();
        EXPECT_FALSE(logger->vectorTableWritten());
    }
}

// Every report line of each port stands, in order, in the JSON events of the same run; each
// logger ends with one "end" object holding its verdict and exit status.
TEST_F(SeveralPorts, JsonEventsCarryTheReportLinesOfTheSameRun) {
    const auto& setups = reliability::loggerSetups();
    sim::LoggerConfig wrongClass = setups.back().config;
    wrongClass.appClass = 0x1234;
    startLoggers({setups.back().config, wrongClass});
    std::vector<std::string> args = portArgs();
    args.push_back("--json");
    auto tool = start(args);
    EXPECT_EQ(tool->finish(), 40) << tool->err();

    std::map<std::string, std::vector<std::string>> reportedInJson;
    std::map<std::string, nlohmann::json> ends;
    for (const std::string& line : linesOf(tool->out())) {
        const auto event = nlohmann::json::parse(line);  // throws on a line that is no JSON
        const std::string port = event.at("port");
        ASSERT_TRUE(event.at("time").is_string());
        if (event.at("event") == "end") {
            EXPECT_EQ(ends.count(port), 0u) << "one end per logger";
            ends[port] = event;
            continue;
        }
        if (event.at("event") == "notification") {
            EXPECT_TRUE(event.at("code").is_number());
            EXPECT_TRUE(event.at("value").is_number());
            EXPECT_TRUE(event.at("name").get<std::string>().starts_with("cNT_"));
        }
        if (event.contains("report")) {
            for (const std::string& text : linesOf(event.at("report").get<std::string>())) {
                reportedInJson[port].push_back(text);
            }
        }
    }
    for (const auto& logger : loggers_) {
        const std::string port = logger->portPath();
        std::vector<std::string> reportLines;
        for (const std::string& line : linesOf(tool->err())) {
            const std::string prefix = port + ": ";
            if (line.starts_with(prefix)) {
                const std::string text = line.substr(prefix.size());
                const auto arrow = text.find(" -> ");
                reportLines.push_back(arrow == std::string::npos ? text : text.substr(arrow + 4));
            }
        }
        EXPECT_FALSE(reportLines.empty()) << port;
        EXPECT_EQ(reportedInJson[port], reportLines) << port;
        ASSERT_EQ(ends.count(port), 1u) << port;
        EXPECT_EQ(ends[port].at("verdict"), reportLines.back());
    }
    EXPECT_EQ(ends[loggers_[0]->portPath()].at("exit"), 0);
    EXPECT_EQ(ends[loggers_[1]->portPath()].at("exit"), 40);
}

}  // namespace
}  // namespace pelion
