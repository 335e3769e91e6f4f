// The bash completion of pelion-update offers the port names the program lists, and takes them
// as plain text: a name that looks like a command substitution is offered as it is, never run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/cli/child_process.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;

class Completion : public testing::Test {
protected:
    void SetUp() override {
        bin_ = fs::temp_directory_path() / ("completion_" + std::to_string(getpid()));
        fs::create_directories(bin_);
    }
    void TearDown() override { fs::remove_all(bin_); }

    // A stand-in pelion-update on PATH that lists these lines as its ports for scripts.
    void listPorts(const std::string& lines) {
        const fs::path tool = bin_ / "pelion-update";
        std::ofstream(tool) << "#!/bin/sh\ncat <<'EOF'\n" << lines << "EOF\n";
        fs::permissions(tool, fs::perms::owner_all);
    }

    // What the completion offers for the command line `words` (the last one being completed),
    // one offer per line.
    std::string offers(const std::string& words) {
        const std::string script = "source '" PELION_COMPLETION_FILE "'; COMP_WORDS=(" + words +
                                   "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _pelion_update; "
                                   "printf '%s\\n' \"${COMPREPLY[@]}\"";
        test::ChildProcess shell({"/bin/bash", "--norc", "-c", script},
                                 {{"PATH", bin_.string() + ":/usr/bin:/bin"}});
        EXPECT_EQ(shell.finish(), 0) << shell.err();
        return shell.out();
    }

    fs::path bin_;
};

TEST_F(Completion, OffersMatchingPortsAsPlainText) {
    const fs::path mark = bin_ / "ran";
    listPorts(
        "ttyUSB0\t/dev/ttyUSB0\t0403\t6001\tFTDI\tFT232R\tA1\n"
        "ttyUSB1\t/dev/ttyUSB1\t\t\t\t\t\n"
        "ttyUSB$(touch " +
        mark.string() +
        ")\t\t\t\t\t\t\n"
        "ttyACM0\t/dev/ttyACM0\t\t\t\t\t\n");
    EXPECT_EQ(offers("pelion-update --port ttyU"),
              "ttyUSB0\nttyUSB1\nttyUSB$(touch " + mark.string() + ")\n");
    EXPECT_FALSE(fs::exists(mark)) << "a port name was run as a command";
    EXPECT_EQ(offers("pelion-update --port ttyA"), "ttyACM0\n");
}

TEST_F(Completion, OffersOptionsAndElements) {
    listPorts("");
    EXPECT_EQ(offers("pelion-update --list"), "--list-ports\n--list-firmware\n");
    EXPECT_EQ(offers("pelion-update --max-repeats u"), "unlimited\n");
    EXPECT_EQ(offers("pelion-update mf"), "mf:+\nmf:-\n");
}

}  // namespace
}  // namespace pelion
