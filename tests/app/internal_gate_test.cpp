// The internal-mode gate read from a settings folder of the test's own.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/internal_gate.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;

class InternalGate : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("gate_" + std::to_string(getpid()));
        fs::create_directories(root_ / "config" / "Tessaly");
        setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(root_); }

    void writeSettings(const std::string& text) {
        std::ofstream(root_ / "config" / "Tessaly" / "Orvo.conf") << text;
    }

    fs::path root_;
};

TEST_F(InternalGate, NoSettingsIsNormalMode) {
    EXPECT_FALSE(IsInternal());
}

TEST_F(InternalGate, SettingsText) {
    struct {
        const char* text;
        bool internal;
    } const cases[] = {
        {"[General]\nintern=6021\n", true},
        {"intern=6021\n", true},
        {"[General]\r\nintern=6021\r\n", true},
        {"[Window]\nwidth=3\n\n[General]\n intern = 6021 \n", true},
        {"[General]\nintern=\"6021\"\n", true},
        {"[General]\nintern=6020\n", false},
        {"[General]\nintern=6021x\n", false},
        {"[General]\nintern=\n", false},
        {"[General]\nIntern=6021\n", false},
        {"[General]\ninternal=6021\n", false},
        {"[Other]\nintern=6021\n", false},
        {"[General]\nintern=6021\nintern=1\n", false},
        {"", false},
    };
    for (const auto& c : cases) {
        writeSettings(c.text);
        EXPECT_EQ(IsInternal(), c.internal) << c.text;
    }
}

TEST_F(InternalGate, UnreadableSettingsIsNormalMode) {
    fs::create_directories(root_ / "config" / "Tessaly" / "Orvo.conf");
    EXPECT_FALSE(IsInternal());
}

TEST_F(InternalGate, DefaultFolderBelowHome) {
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", root_.c_str(), 1);
    fs::create_directories(root_ / ".config" / "Tessaly");
    std::ofstream(root_ / ".config" / "Tessaly" / "Orvo.conf") << "[General]\nintern=6021\n";
    EXPECT_TRUE(IsInternal());
}

}  // namespace
}  // namespace pelion
