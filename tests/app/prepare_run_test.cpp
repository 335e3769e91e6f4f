// Preparing a run: the report is cleared, the chosen image reset, a firmware file loaded, the
// port taken; a file that does not load prepares nothing that could run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/run_control.h"
#include "firmware/catalogue.h"
#include "tests/app/recording_view.h"
#include "update/application_facts.h"

namespace pelion {
namespace {

class PrepareRunTest : public testing::Test {
protected:
    void SetUp() override { ChosenImage.store(5); }
    void TearDown() override {
        ChosenImage.store(-1);
        std::filesystem::remove(file_);
    }

    std::string writeFile(const std::string& text) {
        std::ofstream(file_) << text;
        return file_.string();
    }

    test::RecordingView view;
    RunControl control{view, nullptr};

private:
    std::filesystem::path file_ = std::filesystem::temp_directory_path() /
                                  ("prepare_run_" + std::to_string(getpid()) + ".txt");
};

TEST_F(PrepareRunTest, WithoutFileUsesTheEmbeddedImagesAndTakesThePort) {
    EXPECT_TRUE(control.PrepareRun());
    EXPECT_EQ(view.events, std::vector<std::string>{"clear"});
    EXPECT_EQ(ChosenImage.load(), -1);
    EXPECT_EQ(control.port(), "COM7");
}

// What the previous action read from a logger's application (a pinned logger, say) must not
// steer the image choice for whatever logger the new action finds in its bootloader.
TEST_F(PrepareRunTest, ForgetsWhatThePreviousActionReadFromTheApplication) {
    control.applicationFacts()->remember({0x0588, 328300});
    EXPECT_TRUE(control.PrepareRun());
    EXPECT_EQ(control.applicationFacts()->remembered(), ApplicationFacts{});
}

TEST_F(PrepareRunTest, LoadedFileBecomesTheChosenImage) {
    const std::string path = writeFile(
        "bootloader=3\nbootloader version=0\nclass=26113\nversionH=7\nversionL=1\n"
        "platform=24\nprint=49\ndate=today\n:00000001FF\n");
    std::string reason;
    EXPECT_TRUE(control.PrepareRun(path, &reason)) << reason;
    EXPECT_EQ(ChosenImage.load(), 0);
    EXPECT_EQ(FirmwareFileHeader.orvo_verH, 7);
    EXPECT_EQ(control.port(), "COM7");
}

TEST_F(PrepareRunTest, FileThatFailsToLoadPreparesNothing) {
    ASSERT_TRUE(control.PrepareRun());
    view.port = "COM9";
    const std::string path = writeFile("bootloader=3\nbootloader version=0\nClass=26113\n");
    std::string reason;
    EXPECT_FALSE(control.PrepareRun(path, &reason));
    EXPECT_NE(reason.find("line 3"), std::string::npos) << "names the wrong line: " << reason;
    EXPECT_EQ(ChosenImage.load(), -1);
    EXPECT_EQ(control.port(), "COM7") << "the port of the failed preparation is not taken";
    EXPECT_FALSE(control.isRunning());
}

}  // namespace
}  // namespace pelion
