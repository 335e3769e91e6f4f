// The rules by which an image is found to fit a logger, and the pinned serial numbers.
#include <gtest/gtest.h>

#include <functional>

#include "update/image_choice.h"
#include "update/options.h"

namespace pelion {
namespace {

TEST(PinnedSerialNumbers, AreExactlyTheListedNumbersAndRanges) {
    struct Case {
        std::uint32_t serial;
        bool pinned;
    };
    const Case cases[] = {
        {328107, false}, {328108, true},  {328109, false}, {328223, false}, {328224, true},
        {328225, false}, {328234, false}, {328235, true},  {328236, true},  {328237, false},
        {328282, false}, {328283, true},  {328287, true},  {328288, false}, {328296, false},
        {328297, true},  {328400, true},  {328504, true},  {328505, false}, {0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isPinnedSN(c.serial), c.pinned) << c.serial;
    }
}

struct FitCase {
    const char* name;
    std::function<void(TBl3FileHeader&, LoggerIdentity&)> change;
    bool fits;
    bool checkClass = true;
    bool checkPlatform = true;
};

void PrintTo(const FitCase& c, std::ostream* os) {
    *os << c.name;
}

class ImageChoice : public ::testing::TestWithParam<FitCase> {};

TEST_P(ImageChoice, ImageFitsOnlyWhenEveryRuleHolds) {
    // A BL3 3.0 logger on platform 24, print 49, to be updated as class 0x6601, and the image
    // made for it.
    TBl3FileHeader header{0x6601, 6, 2, 24, 49, "13.10.2022 13:42:00", 3, 0};
    LoggerIdentity logger{0x6601, 24, 49, 0x0000, 0, 0};
    GetParam().change(header, logger);
    UpdateOptions options;
    options.bCheckClass = GetParam().checkClass;
    options.bCheckPlatform = GetParam().checkPlatform;
    EXPECT_EQ(imageFits(header, logger, options), GetParam().fits);
}

constexpr std::uint32_t cPINNED = 328300;
constexpr std::uint32_t cORDINARY = 327980;

INSTANTIATE_TEST_SUITE_P(
    Rules, ImageChoice,
    ::testing::Values(
        FitCase{"Matching", [](auto&, auto&) {}, true},
        FitCase{"OtherClass", [](auto&, auto& l) { l.updateClass = 0xFFFF; }, false},
        FitCase{"OtherClassUnchecked", [](auto&, auto& l) { l.updateClass = 0xFFFF; }, true, false},
        FitCase{"OtherPlatform", [](auto&, auto& l) { l.platform = 23; }, false},
        FitCase{"OtherPlatformUnchecked", [](auto&, auto& l) { l.platform = 23; }, true, true,
                false},
        FitCase{"OtherPrintEvenUnchecked", [](auto&, auto& l) { l.print = 44; }, false, false,
                false},
        FitCase{"PinnedOn5136GetsNoOtherVersion",
                [](auto&, auto& l) {
                    l.appVersion = 0x0588;
                    l.serialNumber = cPINNED;
                },
                false},
        FitCase{"PinnedOn5136Gets5136",
                [](auto& h, auto& l) {
                    h.orvo_verH = 5;
                    h.orvo_verL = 136;
                    l.appVersion = 0x0588;
                    l.serialNumber = cPINNED;
                },
                true},
        FitCase{"PinnedOnOtherVersion",
                [](auto&, auto& l) {
                    l.appVersion = 0x0586;
                    l.serialNumber = cPINNED;
                },
                true},
        FitCase{"OrdinaryOn5136",
                [](auto&, auto& l) {
                    l.appVersion = 0x0588;
                    l.serialNumber = cORDINARY;
                },
                true},
        FitCase{"OtherBootloaderVersion", [](auto&, auto& l) { l.blVersion = 1; }, false},
        FitCase{"BootloaderGeneration2", [](auto& h, auto&) { h.orvo_bl = 2; }, true},
        FitCase{"NoBootloaderGeneration", [](auto& h, auto&) { h.orvo_bl = 0xFFFF; }, false},
        FitCase{"BootloaderGeneration1", [](auto& h, auto&) { h.orvo_bl = 1; }, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelion
