// The ways a run of pelion-update is ended from outside while it programs a logger: the reader
// of its output goes away (`| head`, `grep -m1`), a service manager stops it (SIGTERM), its
// terminal or SSH session closes (SIGHUP). None may kill the program in the middle of an update:
// the run ends with a verdict, the port is left with the settings it had, and the next run
// opens the port and updates the logger.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "sim/simulated_logger.h"
#include "tests/cli/child_process.h"
#include "tests/support/image_11_logger.h"
#include "tests/support/image_lines.h"
#include "tests/support/text_lines.h"

namespace pelion {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;

// The terminal settings of a port, set to ones of its own before the run (cooked, 4800 baud,
// nothing like what the updater sets) and compared afterwards.
class PortSettingsWatch {
public:
    explicit PortSettingsWatch(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        termios tio{};
        if (fd_ < 0 || tcgetattr(fd_, &tio) != 0) {
            throw std::runtime_error("cannot read the settings of " + path);
        }
        tio.c_iflag |= ICRNL;
        tio.c_oflag |= OPOST | ONLCR;
        tio.c_lflag |= ICANON | ECHO | ISIG;
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 3;
        cfsetispeed(&tio, B4800);
        cfsetospeed(&tio, B4800);
        if (tcsetattr(fd_, TCSANOW, &tio) != 0 || tcgetattr(fd_, &before_) != 0) {
            throw std::runtime_error("cannot set the settings of " + path);
        }
    }
    ~PortSettingsWatch() { close(fd_); }

    bool unchanged() const {
        termios now{};
        return tcgetattr(fd_, &now) == 0 && now.c_iflag == before_.c_iflag &&
               now.c_oflag == before_.c_oflag && now.c_cflag == before_.c_cflag &&
               now.c_lflag == before_.c_lflag &&
               std::memcmp(now.c_cc, before_.c_cc, sizeof now.c_cc) == 0 &&
               cfgetispeed(&now) == cfgetispeed(&before_) &&
               cfgetospeed(&now) == cfgetospeed(&before_);
    }

private:
    int fd_;
    termios before_{};
};

enum class Ending { outputClosed, signalled };

struct EndingCase {
    const char* name;
    std::vector<std::string> options;
    Ending ending;
    int sig;                    // for Ending::signalled
    const char* lastLineHolds;  // the verdict as the output's last line shows it
};

void PrintTo(const EndingCase& c, std::ostream* os) {
    *os << c.name;
}

class RunEnded : public testing::TestWithParam<EndingCase> {
protected:
    std::unique_ptr<ChildProcess> start(const sim::SimulatedLogger& logger,
                                        const std::vector<std::string>& options) {
        std::vector<std::string> args{test::buildProgram("pelion-update"), "--port",
                                      logger.portPath(), "--yes"};
        args.insert(args.end(), options.begin(), options.end());
        return std::make_unique<ChildProcess>(
            args, std::map<std::string, std::string>{{"XDG_CONFIG_HOME", "/nonexistent"}});
    }
};

TEST_P(RunEnded, EndsWithAVerdictAndLeavesThePortAsItWas) {
    const EndingCase& c = GetParam();
    sim::SimulatedLogger logger(test::loggerOfImage11());
    PortSettingsWatch port(logger.portPath());
    if (c.ending == Ending::signalled) {
        // Slow answers keep the update in programming until the signal has come.
        logger.stallNextAnswers(1'000'000, 20ms);
    }
    auto tool = start(logger, c.options);
    if (c.ending == Ending::outputClosed) {
        ASSERT_TRUE(tool->waitForOutput("\n", 60s)) << tool->err();
        tool->closeOutput();
        EXPECT_EQ(tool->finish(), 0) << "the update goes on to its end\n" << tool->err();
        EXPECT_TRUE(logger.flashEquals(test::imageLines(11)));
        EXPECT_TRUE(logger.vectorTableWritten());
    } else {
        ASSERT_TRUE(tool->waitForOutput("Progress 1%", 60s)) << tool->out() << tool->err();
        tool->signal(c.sig);
        EXPECT_EQ(tool->finish(), 20) << tool->err();
        const auto lines = test::linesOf(tool->out());
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines.back().find(c.lastLineHolds), std::string::npos) << lines.back();
        EXPECT_FALSE(logger.vectorTableWritten());
    }
    EXPECT_TRUE(port.unchanged()) << "the port's terminal settings are put back";

    logger.clearFaults();
    auto next = start(logger, {});
    EXPECT_EQ(next->finish(), 0) << next->out() << next->err();
    EXPECT_TRUE(logger.flashEquals(test::imageLines(11)));
    EXPECT_TRUE(logger.vectorTableWritten());
    EXPECT_TRUE(port.unchanged());
}

INSTANTIATE_TEST_SUITE_P(
    Endings, RunEnded,
    testing::Values(
        EndingCase{"OutputClosedAfterFirstLine", {}, Ending::outputClosed, 0, ""},
        EndingCase{"JsonOutputClosedAfterFirstLine", {"--json"}, Ending::outputClosed, 0, ""},
        EndingCase{"TerminatedDuringProgramming",
                   {},
                   Ending::signalled,
                   SIGTERM,
                   " -> Process cancelled!"},
        EndingCase{
            "HungUpDuringProgramming", {}, Ending::signalled, SIGHUP, " -> Process cancelled!"},
        EndingCase{"JsonHungUpDuringProgramming",
                   {"--json"},
                   Ending::signalled,
                   SIGHUP,
                   "\"verdict\":\"Process cancelled!\""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelion
