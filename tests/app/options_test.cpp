// The command-line elements: how getOption finds a value and what the option set makes of it in
// normal and internal mode.
#include <gtest/gtest.h>

#include "app/options.h"
#include "update/options.h"

namespace pelion {
namespace {

using Elements = std::vector<std::string>;

struct GetOptionCase {
    const char* name;
    Elements elements;
    std::string expected;
};

void PrintTo(const GetOptionCase& c, std::ostream* os) {
    *os << c.name;
}

const GetOptionCase cGET_OPTION_CASES[] = {
    {"Plain", {"cc:-"}, "-"},
    {"CapitalName", {"CC:-"}, "-"},
    {"MixedCaseName", {"cC:+"}, "+"},
    {"TwoMinus", {"cc:--"}, "--"},
    {"EmptyValueIsNoElement", {"cc:"}, "default"},
    {"FirstElementWins", {"cc:+", "cc:-"}, "+"},
    {"EmptyFirstDoesNotCount", {"cc:", "cc:-"}, "-"},
    {"NameMustStartTheElement", {"xcc:-", "c:-"}, "default"},
    {"OtherNamesIgnored", {"cf:-", "mf:+"}, "default"},
    {"ValueCutAt1000", {"cc:" + std::string(1500, 'v')}, std::string(1000, 'v')},
};

class GetOption : public testing::TestWithParam<GetOptionCase> {};

TEST_P(GetOption, FindsTheFirstValue) {
    EXPECT_EQ(getOption(GetParam().elements, "cc:", "default"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Elements, GetOption, testing::ValuesIn(cGET_OPTION_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

struct Settled {
    bool checkClass = true;
    bool checkLogger = true;
    bool checkPlatform = true;
    bool clearsMeasurements = false;
    int internalLevel = 0;

    bool operator==(const Settled&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Settled& s) {
    return os << "class " << s.checkClass << " logger " << s.checkLogger << " platform "
              << s.checkPlatform << " clears " << s.clearsMeasurements << " level "
              << s.internalLevel;
}

struct ApplyCase {
    const char* name;
    bool internal;
    Elements elements;
    Settled expected;
};

void PrintTo(const ApplyCase& c, std::ostream* os) {
    *os << c.name;
}

const ApplyCase cAPPLY_CASES[] = {
    {"NormalNothing", false, {}, {}},
    {"NormalIgnoresInternalOptions", false, {"cc:-", "cf:-", "cp:-", "f:+"}, {}},
    {"NormalClearsMeasurements", false, {"mf:+"}, {.clearsMeasurements = true}},
    {"InternalNothing", true, {}, {.internalLevel = 1}},
    {"InternalCapitalName", true, {"CC:-"}, {.checkClass = false, .internalLevel = 1}},
    {"InternalPlusChangesNothing", true, {"cc:+"}, {.internalLevel = 1}},
    {"InternalTwoMinusChangesNothing", true, {"cc:--"}, {.internalLevel = 1}},
    {"InternalEmptyValueChangesNothing", true, {"cc:"}, {.internalLevel = 1}},
    {"InternalFirstElementWins", true, {"cc:+", "cc:-"}, {.internalLevel = 1}},
    {"InternalAllChecksOff",
     true,
     {"cf:-", "cp:-", "cc:-"},
     {.checkClass = false, .checkLogger = false, .checkPlatform = false, .internalLevel = 1}},
    {"InternalFileCommands", true, {"f:+"}, {.internalLevel = 2}},
    {"InternalFileValueExact", true, {"F:++"}, {.internalLevel = 1}},
    {"MeasurementsMinus", true, {"mf:-"}, {.internalLevel = 1}},
};

class ApplyOptions : public testing::TestWithParam<ApplyCase> {
protected:
    void SetUp() override {
        bCheckClass = bCheckLogger = bCheckPlatform = true;
        bClearsMeasurements = false;
        nInternalLevel = 0;
    }
};

TEST_P(ApplyOptions, SettlesTheOptionSet) {
    applyCommandLineOptions(GetParam().elements, GetParam().internal);
    EXPECT_EQ(
        (Settled{bCheckClass, bCheckLogger, bCheckPlatform, bClearsMeasurements, nInternalLevel}),
        GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Modes, ApplyOptions, testing::ValuesIn(cAPPLY_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateQuestion, DependsOnMeasurementsOptionAndMode) {
    struct {
        bool clears;
        int level;
        const Question* asked;
    } const cases[] = {
        {false, 0, &cQ_SAVE_MEASUREMENTS},
        {false, 1, nullptr},
        {false, 2, nullptr},
        {true, 0, &cQ_CLEARS_MEASUREMENTS},
        {true, 1, &cQ_CLEARS_MEASUREMENTS},
    };
    for (const auto& c : cases) {
        bClearsMeasurements = c.clears;
        nInternalLevel = c.level;
        EXPECT_EQ(updateQuestion(), c.asked) << c.clears << " " << c.level;
    }
    EXPECT_STREQ(cQ_SAVE_MEASUREMENTS.line1, "Do you save your measurements ?");
    EXPECT_STREQ(cQ_CLEARS_MEASUREMENTS.line2, "Do you really continue ?");
}

}  // namespace
}  // namespace pelion
