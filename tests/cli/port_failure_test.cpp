// Why a port failed, as the user of pelion-update sees it: the verdict on standard output stays
// as it always was, and one line on standard error says what the system reported and what to
// do. Real ports throughout: pseudo-terminals, a simulated logger, a missing path.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "sim/simulated_logger.h"
#include "tests/cli/child_process.h"
#include "tests/support/bare_terminal.h"
#include "tests/support/image_11_logger.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ChildProcess;

constexpr const char* cNOBODY = "65534";
constexpr const char* cSETPRIV = "/usr/bin/setpriv";

// A pseudo-terminal whose slave side stands for the logger's port.
class Pty {
public:
    ~Pty() {
        if (slave_ >= 0) {
            close(slave_);
        }
    }

    const std::string& path() const { return terminal_.slavePath(); }
    // Another program, a terminal program say, holds the port exclusively.
    bool holdExclusively() {
        slave_ = open(path().c_str(), O_RDWR | O_NOCTTY);
        return slave_ >= 0 && ioctl(slave_, TIOCEXCL) == 0;
    }

private:
    test::BareTerminal terminal_;
    int slave_ = -1;
};

class PortFailure : public testing::Test {
protected:
    void SetUp() override {
        settings_ = fs::temp_directory_path() / ("pelion_port_failure_" + std::to_string(getpid()));
        fs::create_directories(settings_);
    }
    void TearDown() override { fs::remove_all(settings_); }

    std::unique_ptr<ChildProcess> start(std::vector<std::string> args,
                                        std::vector<std::string> prefix = {}) {
        args.insert(args.begin(), test::buildProgram("pelion-update"));
        args.insert(args.begin(), prefix.begin(), prefix.end());
        return std::make_unique<ChildProcess>(
            args, std::map<std::string, std::string>{{"XDG_CONFIG_HOME", settings_.string()}});
    }
    int run(std::vector<std::string> args, std::vector<std::string> prefix = {}) {
        tool_ = start(std::move(args), std::move(prefix));
        return tool_->finish();
    }
    std::string lastLine() const {
        std::string last;
        std::istringstream out(tool_->out());
        for (std::string line; std::getline(out, line);) {
            last = line;
        }
        return last;
    }
    void expectVerdictThenReason(const std::string& port, const std::string& reason) {
        EXPECT_TRUE(
            lastLine().ends_with(" -> Aborted because serial port \"" + port + "\" is not ready!"))
            << lastLine();
        EXPECT_NE(tool_->err().find("pelion-update: " + reason), std::string::npos) << tool_->err();
    }

    fs::path settings_;
    std::unique_ptr<ChildProcess> tool_;
};

TEST_F(PortFailure, MissingPortSaysNoSuchDevice) {
    EXPECT_EQ(run({"--port", "/dev/no-such-logger", "--yes"}), 10);
    expectVerdictThenReason("/dev/no-such-logger",
                            "No such device (No such file or directory). Check the port name");
}

TEST_F(PortFailure, PortHeldByAnotherProgramSaysSo) {
    Pty pty;
    ASSERT_TRUE(pty.holdExclusively());
    EXPECT_EQ(run({"--port", pty.path(), "--yes"}), 10);
    expectVerdictThenReason(pty.path(),
                            "The port is held by another program (Device or "
                            "resource busy). Close the program that uses it");
}

// Root may open any device, so the tool then runs as the unprivileged user nobody.
TEST_F(PortFailure, PortWithoutPermissionTellsHowToJoinDialout) {
    Pty pty;
    ASSERT_EQ(chmod(pty.path().c_str(), 0), 0);
    std::vector<std::string> prefix;
    if (geteuid() == 0) {
        if (!fs::exists(cSETPRIV)) {
            GTEST_SKIP() << "running as root without " << cSETPRIV
                         << ": no way to run the tool as an unprivileged user";
        }
        prefix = {cSETPRIV, "--reuid", cNOBODY, "--regid", cNOBODY, "--clear-groups", "--"};
        fs::permissions(settings_, fs::perms::all);
    }
    EXPECT_EQ(run({"--port", pty.path(), "--yes"}, prefix), 10) << tool_->err();
    expectVerdictThenReason(pty.path(),
                            "Not permitted to open the port (Permission denied). Join the group "
                            "that may use serial ports: sudo usermod -aG dialout $USER, then log "
                            "out and in again.");
}

TEST_F(PortFailure, LoggerGoneDuringTheRunSaysTheDeviceWentAway) {
    sim::LoggerConfig config = test::loggerOfImage11();
    config.paced = true;  // programming takes long enough to pull the cable
    auto logger = std::make_unique<sim::SimulatedLogger>(config);
    tool_ = start({"--port", logger->portPath(), "--yes"});
    ASSERT_TRUE(tool_->waitForOutput(" -> Progress ", 120s)) << tool_->out() << tool_->err();
    logger.reset();

    EXPECT_EQ(tool_->finish(), 11) << tool_->err();
    EXPECT_NE(tool_->err().find("pelion-update: The device went away during the run"),
              std::string::npos)
        << tool_->err();
}

}  // namespace
}  // namespace pelion
