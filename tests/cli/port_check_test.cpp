// pelion-update --check end to end: the real program against real ports (the simulated logger,
// pseudo-terminals held, forbidden or without a logger, a missing path), seen as its user and a
// script see it, and as the logger sees it: asked who it is, never told to jump or to program.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "sim/simulated_logger.h"
#include "tests/cli/child_process.h"
#include "tests/support/bare_terminal.h"
#include "tests/support/image_11_logger.h"
#include "tests/support/text_lines.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using test::linesOf;

constexpr std::uint8_t cNULL_FRAME = 0x00;      // a null frame is eight zero bytes
constexpr std::uint8_t cIDENTITY_QUERY = 0x81;  // the serial-number query too
constexpr const char* cNOBODY = "65534";
constexpr const char* cSETPRIV = "/usr/bin/setpriv";

class PortCheck : public testing::Test {
protected:
    void SetUp() override {
        settings_ = fs::temp_directory_path() / ("pelion_port_check_" + std::to_string(getpid()));
        fs::create_directories(settings_);
    }
    void TearDown() override { fs::remove_all(settings_); }

    int run(std::vector<std::string> args, std::vector<std::string> prefix = {}) {
        args.insert(args.begin(), test::buildProgram("pelion-update"));
        args.insert(args.begin(), prefix.begin(), prefix.end());
        tool_ = std::make_unique<ChildProcess>(
            args, std::map<std::string, std::string>{{"XDG_CONFIG_HOME", settings_.string()}});
        return tool_->finish();
    }
    int check(const std::string& port, std::vector<std::string> prefix = {}) {
        return run({"--check", "--port", port}, std::move(prefix));
    }
    const std::string& out() const { return tool_->out(); }
    bool says(const std::string& text) const { return out().find(text) != std::string::npos; }

    fs::path settings_;
    std::unique_ptr<ChildProcess> tool_;
};

// The logger heard only null frames, identity queries and line queries; nothing it programs.
void expectUntouched(const sim::SimulatedLogger& logger, std::size_t lineQueries) {
    std::size_t lines = 0;
    for (const sim::ReceivedFrame& frame : logger.received()) {
        ASSERT_FALSE(frame.bytes.empty());
        if (frame.bytes[0] == ':') {
            ++lines;
            continue;
        }
        EXPECT_EQ(frame.bytes.size(), 8u);
        EXPECT_TRUE(frame.bytes[0] == cNULL_FRAME || frame.bytes[0] == cIDENTITY_QUERY)
            << "command " << int(frame.bytes[0]);
    }
    EXPECT_EQ(lines, lineQueries);
    EXPECT_TRUE(logger.writeOrder().empty());
}

TEST_F(PortCheck, NamesTheLoggerInItsApplicationAndLeavesItThere) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    EXPECT_EQ(check(logger.portPath()), 0) << out() << tool_->err();
    const std::string p = logger.portPath() + ": ";
    EXPECT_EQ(linesOf(out()),
              (std::vector<std::string>{
                  p + "ok: The port opens.",
                  p + "ok: A logger answers: class 26113 [PelionB], version 6.1, serial number "
                      "327980.",
                  p + "ok: The image an update programs is chosen from the bootloader's "
                      "identity, which the check does not start; the update reads it first.",
                  p + "Ready for an update."}));
    EXPECT_FALSE(logger.inBootloader());
    expectUntouched(logger, 0);
}

TEST_F(PortCheck, NamesTheImageOfALoggerFoundInItsBootloader) {
    sim::LoggerConfig config = test::loggerOfImage11();
    config.startInBootloader = true;
    sim::SimulatedLogger logger(config);
    EXPECT_EQ(check(logger.portPath()), 0) << out();
    EXPECT_TRUE(says("ok: A logger answers: class 51202 [")) << out();
    EXPECT_TRUE(says("running its bootloader; platform ")) << out();
    EXPECT_TRUE(says("ok: An update would program image 11 (V6.02).")) << out();
    EXPECT_TRUE(logger.inBootloader());
    expectUntouched(logger, 2);  // the platform and update-ID queries
}

TEST_F(PortCheck, ABootloaderThatNoImageFitsIsNotReady) {
    sim::LoggerConfig config = test::loggerOfImage11();
    config.startInBootloader = true;
    config.upidId = 0x1234;
    sim::SimulatedLogger logger(config);
    EXPECT_EQ(check(logger.portPath()), 47) << out();
    EXPECT_TRUE(says("problem: No embedded firmware image fits this logger")) << out();
    EXPECT_TRUE(linesOf(out()).back().ends_with("Not ready for an update; see above."));
    expectUntouched(logger, 2);
}

TEST_F(PortCheck, JsonLinesCarryEveryFindingAndTheVerdict) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    EXPECT_EQ(run({"--check", "--json", "--port", logger.portPath()}), 0) << out();
    std::vector<std::string> topics;
    nlohmann::json last;
    for (const std::string& line : linesOf(out())) {
        last = nlohmann::json::parse(line);
        EXPECT_EQ(last["port"], logger.portPath());
        topics.push_back(last["finding"]);
    }
    EXPECT_EQ(topics, (std::vector<std::string>{"port", "logger", "image", "verdict"}));
    EXPECT_EQ(last["exit"], 0);
    EXPECT_EQ(last["text"], "Ready for an update.");
}

// A port that does not open, or where nothing answers: the reason, what to do, the status.
struct PortCase {
    const char* name;
    int status;
    const char* finding;
};

TEST_F(PortCheck, MissingPortAndSilentPortSayWhy) {
    const PortCase cases[] = {
        {"/dev/no-such-logger", 10,
         "problem: No such device (No such file or directory). Check the port name and that the "
         "logger's USB cable is plugged in."},
        {"", 30,
         "problem: The port opens but no logger answers. Check that the logger is attached to this "
         "port and switched on."},
    };
    test::BareTerminal silent;
    for (const PortCase& c : cases) {
        const std::string port = *c.name ? c.name : silent.slavePath();
        EXPECT_EQ(check(port), c.status) << port << "\n" << out();
        EXPECT_TRUE(says(port + ": " + c.finding)) << out();
        EXPECT_TRUE(says(port + ": Not ready for an update; see above.")) << out();
    }
}

// Ctrl-C while the logger is being asked ends the look at its next attempt and the whole check.
TEST_F(PortCheck, CtrlCCancelsTheCheck) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    logger.muteNextExchanges(1000);
    std::vector<std::string> args{test::buildProgram("pelion-update"),
                                  "--check",
                                  "--port",
                                  logger.portPath(),
                                  "--port",
                                  "/dev/no-such-logger"};
    tool_ = std::make_unique<ChildProcess>(
        args, std::map<std::string, std::string>{{"XDG_CONFIG_HOME", settings_.string()}});
    ASSERT_TRUE(logger.waitForReceived(3, std::chrono::seconds(30)));
    tool_->signal(SIGINT);
    EXPECT_EQ(tool_->finish(), 20) << out() << tool_->err();
    EXPECT_TRUE(says(logger.portPath() + ": problem: Process cancelled!")) << out();
    EXPECT_FALSE(says("/dev/no-such-logger")) << out();
}

TEST_F(PortCheck, PortHeldByAnotherProgramNamesTheProgram) {
    test::BareTerminal terminal;
    const int holder = open(terminal.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(ioctl(holder, TIOCEXCL), 0);
    EXPECT_EQ(check(terminal.slavePath()), 10) << out();
    close(holder);
    EXPECT_TRUE(says("problem: The port is held by ")) << out();
    EXPECT_TRUE(says("(process " + std::to_string(getpid()) + "). Close that program")) << out();
}

// Root may open any device, so the tool then runs as the unprivileged user nobody.
TEST_F(PortCheck, PortWithoutPermissionNamesTheGroupToJoin) {
    test::BareTerminal terminal;
    ASSERT_EQ(chmod(terminal.slavePath().c_str(), 0660), 0);
    std::vector<std::string> prefix;
    if (geteuid() == 0) {
        ASSERT_TRUE(fs::exists(cSETPRIV)) << "running as root without " << cSETPRIV;
        prefix = {cSETPRIV, "--reuid", cNOBODY, "--regid", cNOBODY, "--clear-groups", "--"};
        fs::permissions(settings_, fs::perms::all);
    }
    struct stat status {};
    ASSERT_EQ(stat(terminal.slavePath().c_str(), &status), 0);
    const group* owner = getgrgid(status.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string name = owner->gr_name;
    EXPECT_EQ(check(terminal.slavePath(), prefix), 10) << out() << tool_->err();
    EXPECT_TRUE(
        says("problem: Not permitted to open the port (Permission denied). The port belongs "
             "to the group " +
             name + ": join it with sudo usermod -aG " + name + " $USER"))
        << out();
}

}  // namespace
}  // namespace pelion
