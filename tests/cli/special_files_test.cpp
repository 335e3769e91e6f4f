// Special files where pelion-update expects a serial port, a firmware file or its settings
// file: a named pipe, a link to /dev/zero, a folder, a terminal. Each is refused at once with
// an error that says what is wrong; none blocks the program, eats its memory or changes the
// terminal it was given.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/cli/child_process.h"
#include "tests/support/bare_terminal.h"
#include "tests/support/text_lines.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ChildProcess;

// A refusal comes at once; a program that blocks is killed after this and fails the test.
constexpr auto cHANG_BOUND = 10s;

enum class Special { fifo, linkToZero, folder, terminal };
enum class Place { port, file, fileVersion, settings };

struct SpecialCase {
    const char* name;
    Place place;
    Special special;
    int status;
    const char* error;
};

void PrintTo(const SpecialCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr const char* cNOT_A_PORT = "pelion-update: This is not a serial port.";
constexpr const char* cNOT_REGULAR =
    "this is not a regular file (a named pipe, a device or a socket), so it is no firmware file";
constexpr const char* cSETTINGS_NOT_REGULAR =
    "/Tessaly/Orvo.conf is not a regular file (a named pipe, a device or a socket); it is not "
    "read, and internal mode stays off";

class SpecialFile : public testing::TestWithParam<SpecialCase> {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("special_files_" + std::to_string(getpid()));
        fs::create_directories(root_ / "config" / "Tessaly");
    }
    void TearDown() override { fs::remove_all(root_); }

    // Makes the special file at `path`; a terminal is the slave side of `terminal`.
    void make(Special special, const fs::path& path) {
        switch (special) {
            case Special::fifo:
                ASSERT_EQ(mkfifo(path.c_str(), 0600), 0) << std::strerror(errno);
                return;
            case Special::linkToZero:
                fs::create_symlink("/dev/zero", path);
                return;
            case Special::folder:
                fs::create_directory(path);
                return;
            case Special::terminal:
                fs::create_symlink(terminal_.slavePath(), path);
                return;
        }
    }

    void grantInternalMode() {
        std::ofstream(root_ / "config" / "Tessaly" / "Orvo.conf") << "[General]\nintern=6021\n";
    }

    int run(std::vector<std::string> args) {
        args.insert(args.begin(), test::buildProgram("pelion-update"));
        tool_ = std::make_unique<ChildProcess>(
            args, std::map<std::string, std::string>{{"XDG_CONFIG_HOME", (root_ / "config")}});
        return tool_->finish(cHANG_BOUND);
    }

    fs::path root_;
    test::BareTerminal terminal_;
    std::unique_ptr<ChildProcess> tool_;
};

TEST_P(SpecialFile, IsRefusedAtOnceWithItsError) {
    const SpecialCase& c = GetParam();
    std::vector<std::string> args;
    const fs::path special = root_ / "special";
    switch (c.place) {
        case Place::port:
            make(c.special, special);
            args = {"--port", special, "--yes"};
            break;
        case Place::file:
            grantInternalMode();
            make(c.special, special);
            args = {"--file", special, "--port", "/dev/pelion-absent-port", "f:+"};
            break;
        case Place::fileVersion:
            grantInternalMode();
            make(c.special, special);
            args = {"--file-version", special, "f:+"};
            break;
        case Place::settings:
            make(c.special, root_ / "config" / "Tessaly" / "Orvo.conf");
            args = {"--list-firmware", "--read-info-only"};
            break;
    }
    EXPECT_EQ(run(args), c.status) << tool_->out() << tool_->err();
    EXPECT_NE(tool_->err().find(c.error), std::string::npos) << tool_->err();
}

INSTANTIATE_TEST_SUITE_P(
    Places, SpecialFile,
    testing::Values(
        SpecialCase{"PortFifo", Place::port, Special::fifo, 10, cNOT_A_PORT},
        SpecialCase{"PortLinkToZero", Place::port, Special::linkToZero, 10, cNOT_A_PORT},
        SpecialCase{"PortFolder", Place::port, Special::folder, 10, cNOT_A_PORT},
        SpecialCase{"FileFifo", Place::file, Special::fifo, 2, cNOT_REGULAR},
        SpecialCase{"FileLinkToZero", Place::file, Special::linkToZero, 2, cNOT_REGULAR},
        SpecialCase{"FileFolder", Place::file, Special::folder, 2,
                    "this is a folder, not a firmware file"},
        SpecialCase{"FileTerminal", Place::file, Special::terminal, 2, cNOT_REGULAR},
        SpecialCase{"FileVersionFifo", Place::fileVersion, Special::fifo, 2, cNOT_REGULAR},
        SpecialCase{"FileVersionLinkToZero", Place::fileVersion, Special::linkToZero, 2,
                    cNOT_REGULAR},
        SpecialCase{"FileVersionTerminal", Place::fileVersion, Special::terminal, 2, cNOT_REGULAR},
        // Normal mode, so --read-info-only is refused; the firmware list is not reached.
        SpecialCase{"SettingsFifo", Place::settings, Special::fifo, 2, cSETTINGS_NOT_REGULAR},
        SpecialCase{"SettingsLinkToZero", Place::settings, Special::linkToZero, 2,
                    cSETTINGS_NOT_REGULAR},
        SpecialCase{"SettingsFolder", Place::settings, Special::folder, 2,
                    "/Tessaly/Orvo.conf is a folder; it is not read, and internal mode stays "
                    "off"},
        SpecialCase{"SettingsTerminal", Place::settings, Special::terminal, 2,
                    cSETTINGS_NOT_REGULAR}),
    [](const auto& info) { return std::string(info.param.name); });

// Without the settings file, every command still works: the port list that the bash
// completion asks for on TAB among them.
TEST_F(SpecialFile, SettingsFifoLeavesNormalModeWorking) {
    make(Special::fifo, root_ / "config" / "Tessaly" / "Orvo.conf");
    EXPECT_EQ(run({"--list-firmware"}), 0) << tool_->err();
    EXPECT_EQ(test::linesOf(tool_->out()).size(), 12u) << tool_->out();
    EXPECT_EQ(run({"--list-ports"}), 0) << tool_->err();
}

// The terminal the updater runs in, named as its port by mistake (a shell's own pts), is
// refused before anything is changed on it.
TEST_F(SpecialFile, OwnTerminalAsPortIsRefusedAndKeepsItsSettings) {
    termios before{};
    ASSERT_EQ(tcgetattr(terminal_.master(), &before), 0);
    tool_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{test::buildProgram("pelion-update"), "--port",
                                 terminal_.slavePath(), "--yes"},
        std::map<std::string, std::string>{{"XDG_CONFIG_HOME", (root_ / "config")}},
        test::ErrorTo::pipe, terminal_.slavePath());
    EXPECT_EQ(tool_->finish(cHANG_BOUND), 10) << tool_->out() << tool_->err();
    EXPECT_NE(tool_->err().find(
                  "pelion-update: This is the terminal the updater runs in, not a logger's port."),
              std::string::npos)
        << tool_->err();
    termios after{};
    ASSERT_EQ(tcgetattr(terminal_.master(), &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
}

}  // namespace
}  // namespace pelion
