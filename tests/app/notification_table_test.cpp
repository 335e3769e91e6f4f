// Each notification and abort code as the user sees it: report lines, status, message window,
// progress bar, title and beep, in the order they are shown.
#include <gtest/gtest.h>

#include <optional>

#include "app/run_control.h"
#include "firmware/catalogue.h"
#include "link/notify.h"
#include "tests/app/recording_view.h"

namespace pelion {
namespace {

using Events = std::vector<std::string>;

const Events cIDLE{"controls: idle", "title: Pelion Firmware Update"};

Events verdict(const std::string& text) {
    return {"report: " + text, "status: " + text, "result: " + text, "ended"};
}

Events aborted(const std::string& text) {
    Events e = cIDLE;
    e.push_back("beep");
    for (const std::string& v : verdict(text)) {
        e.push_back(v);
    }
    return e;
}

Events concat(Events a, const Events& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Case {
    const char* name;
    std::uint32_t code;
    std::int32_t value;
    Events shows;
    std::optional<int> maxRepeats = std::nullopt;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const Case cCASES[] = {
    {"FinishedV508", cNT_FINISHED, tCMD0,
     concat(concat({"bar: 100"}, cIDLE), verdict("Update PelionB V5.08 succesfully completed."))},
    {"Progress42", cNT_PROGRESS, 42, {"report: Progress 42%", "bar: 42", "title: 42%"}},
    {"ProgressTitleFromBar",
     cNT_PROGRESS,
     150,
     {"report: Progress 150%", "bar: 100", "title: 100%"}},
    {"ProgErrorLine",
     cNT_PROG_ERROR_LINE,
     17,
     {"report: Aborted because programming error at line 17 !",
      "status: Aborted because programming error at line 17 !"}},
    {"ConvErrorLine",
     cNT_CONV_ERROR_LINE,
     17,
     {"report: Aborted because conversion error at line  17 !"}},
    {"Retry",
     cNT_RETRY,
     tCMD0,
     {"status: Repeat update because communication error!",
      "report: Repeat update because communication error!", "later: 1500 ms"}},
    {"RetryBeyondMaxRepeats", cNT_RETRY, tCMD0,
     aborted("Aborted because of a communication error after 0 repeats!"), 0},
    {"ProgRepeatBeyondMaxRepeats", cNT_ABORTED, 44,
     aborted("Aborted because of a programming error after 0 repeats!"), 0},
    {"Class", cNT_CLASS, 0x6601, {"report: Class 26113 [PelionB]"}},
    {"ClassUnknown", cNT_CLASS, 0x1234, {"report: Class 4660 [?]"}},
    {"Version618", cNT_VERSION, 0x0612, {"report: Version 6.18"}},
    {"Platform", cNT_PLATFORM, 24, {"report: Platform 24 [F5335B]"}},
    {"Print", cNT_PRINT, 49, {"report: Print 49 [A9f]"}},
    {"Info", cNT_INFO, 3, {"report: Info 3"}},
    {"UpdateClass", cNT_UPDATE_CLASS, 0x6601, {"report: Update class 26113 [PelionB]"}},
    {"UpdateStartNamesChosenImage",
     cNT_UPDATE_START,
     tCMD0,
     {"report: Update PelionB V5.08, A9f, BL3.0", "status: Update PelionB V5.08, A9f, BL3.0"}},
    {"CheckImage", cNT_CHECK_IMAGE, 11, {"report: Check PelionB V6.02, A9f, BL3.0"}},
    {"CheckImageOne", cNT_CHECK_IMAGE, 1, {"report: Check PelionB V3.20, A0, BL2.0"}},
    {"UpdateInfo001A", cNT_UPDATE_INFO, 0x1A, {"report: Update Info 001A"}},
    {"UpdateInfoWide", cNT_UPDATE_INFO, 0x12345, {"report: Update Info 12345"}},
    {"VectorTableSaved", cNT_VECTOR_TABLE, 0, {"report: Vector table is saved."}},
    {"VectorTableProgrammed", cNT_VECTOR_TABLE, 1, {"report: Vector table is programmed."}},
    {"VectorTable2Silent", cNT_VECTOR_TABLE, 2, {}},
    {"Code30Ignored", 30, 1, {}},
    {"Code1000Ignored", 1000, 1, {}},
    {"AbortPortNotReady", cNT_ABORTED, 10,
     aborted("Aborted because serial port \"COM7\" is not ready!")},
    {"AbortPortIO", cNT_ABORTED, 11,
     aborted("Aborted because error when reading/writing to serial port!")},
    {"AbortCancelled", cNT_ABORTED, 20, aborted("Process cancelled!")},
    {"AbortNoUpdate", cNT_ABORTED, 40,
     aborted("Aborted because no update is available for this logger!")},
    {"AbortNotReady", cNT_ABORTED, 41, aborted("Aborted because the logger is not ready!")},
    {"AbortLastLine", cNT_ABORTED, 42, aborted("Aborted because last line is wrong !")},
    {"AbortConversionMessageOnly", cNT_ABORTED, 43,
     concat(cIDLE, {"beep", "result: Aborted because conversion error!", "ended"})},
    {"AbortUpdateFailed", cNT_ABORTED, 45, aborted("Update was not successfull!")},
    {"AbortInvalidAnswer", cNT_ABORTED, 46,
     aborted("Aborted because the logger transmitted an invalid answer!")},
    {"AbortUpdateId", cNT_ABORTED, 47,
     aborted("There is no update available or the logger has another update ID!")},
    {"AbortInfoOnly", cNT_ABORTED, 70, aborted("Only read update info!")},
    {"AbortZeroFatal", cNT_ABORTED, 0, aborted("Fatal Exception has occurred!")},
    {"AbortRetryCodeFatal", cNT_ABORTED, 30, aborted("Fatal Exception has occurred!")},
    {"AbortUnknownFatal", cNT_ABORTED, 99, aborted("Fatal Exception has occurred!")},
};

class NotificationTable : public testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        // Image 0 stands for a class-X image of version 5.08; it is the chosen one.
        FirmwareFileHeader = {.orvo_class = 0x6601,
                              .orvo_verH = 5,
                              .orvo_verL = 8,
                              .orvo_platform = 24,
                              .orvo_print = 49,
                              .orvo_date = "01.02.2022 03:04:05",
                              .orvo_bl = 3,
                              .orvo_bl_ver = 0};
        ChosenImage.store(0);
    }
    void TearDown() override { ChosenImage.store(-1); }

    test::RecordingView view;
};

TEST_P(NotificationTable, ShowsExactly) {
    const Case& c = GetParam();
    RunControl control(view, nullptr);
    control.setMaxRepeats(c.maxRepeats);
    control.handleNotification(c.code, c.value);
    EXPECT_EQ(view.events, c.shows);
}

INSTANTIATE_TEST_SUITE_P(Codes, NotificationTable, testing::ValuesIn(cCASES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RunOutcome, EndsWithTheAbortCodeAsPosted) {
    test::RecordingView view;
    RunControl control(view, nullptr);
    control.handleNotification(cNT_ABORTED, 47);
    control.handleNotification(cNT_ABORTED, 0);
    ASSERT_EQ(view.outcomes.size(), 2u);
    EXPECT_EQ(view.outcomes[0].kind, RunOutcome::aborted);
    EXPECT_EQ(view.outcomes[0].abortCode, 47);
    EXPECT_EQ(view.outcomes[1].abortCode, 0);
}

}  // namespace
}  // namespace pelion
