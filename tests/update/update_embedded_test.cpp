// Whole updates with the embedded images: the logger's identity picks the image, and the
// logger ends up holding exactly that image.
#include <gtest/gtest.h>

#include "tests/update/update_fixture.h"

namespace pelion::test {
namespace {

constexpr std::uint32_t cORDINARY_SERIAL = 327980;
constexpr std::uint32_t cPINNED_SERIAL = 328300;

struct ApplicationCase {
    const char* name;
    std::uint16_t platform;
    std::uint16_t print;
    std::uint16_t appVersion;
    std::uint32_t serialNumber;
    int image;
};

void PrintTo(const ApplicationCase& c, std::ostream* os) {
    *os << c.name;
}

class UpdateFromApplication : public UpdateRun,
                              public ::testing::WithParamInterface<ApplicationCase> {};

// A BL3 3.0 logger in its application; its update-ID block names class 0x6601 and repeats the
// platform and print.
TEST_P(UpdateFromApplication, ProgramsTheFirstImageThatFits) {
    const ApplicationCase& c = GetParam();
    sim::LoggerConfig config;
    config.appVersion = c.appVersion;
    config.serialNumber = c.serialNumber;
    config.platform = config.upidPlatform = c.platform;
    config.print = config.upidPrint = c.print;
    sim::SimulatedLogger sim(config);

    const Notes notes = run(sim);

    Notes identification{{cNT_CLASS, 0x6601},
                         {cNT_VERSION, c.appVersion},
                         {cNT_CLASS, 0xC802},
                         {cNT_VERSION, 0},
                         {cNT_PLATFORM, c.platform},
                         {cNT_PRINT, c.print},
                         {cNT_INFO, 0},
                         {cNT_UPDATE_CLASS, 0x6601},
                         {cNT_UPDATE_INFO, 0x001A},
                         {cNT_PLATFORM, c.platform},
                         {cNT_PRINT, c.print}};
    for (int i = 1; i <= c.image; ++i) {
        identification.push_back({cNT_CHECK_IMAGE, i});
    }
    identification.push_back({cNT_UPDATE_START, tCMD0});
    ASSERT_GE(notes.size(), identification.size());
    EXPECT_EQ(Notes(notes.begin(), notes.begin() + identification.size()), identification);
    expectFullProgramming(notes, 0x6601);
    EXPECT_EQ(ChosenImage.load(), c.image);

    const std::vector<std::string> lines = test::imageLines(c.image);
    const Wire wire = wireAfter(sim, programmingLines(lines).size() + 11);
    const Wire entry{cNULL_FRAME_TEXT,
                     cNULL_FRAME_TEXT,
                     cIDENTITY_QUERY,
                     cSERIAL_QUERY,
                     c.appVersion < 0x0600 ? cJUMP_OLD : cJUMP_NEW,
                     cIDENTITY_QUERY,
                     cPLATFORM_QUERY,
                     cUPDATE_ID_QUERY_BLOCK_0060};
    ASSERT_GE(wire.size(), entry.size());
    EXPECT_EQ(Wire(wire.begin(), wire.begin() + entry.size()), entry);
    expectProgrammed(sim, wire, lines, cSTART_BL23, cEND_BL23);
}

INSTANTIATE_TEST_SUITE_P(
    Identities, UpdateFromApplication,
    ::testing::Values(ApplicationCase{"Image6", 12, 18, 0x057E, cORDINARY_SERIAL, 6},
                      ApplicationCase{"Image7Ordinary5_136", 12, 30, 0x0588, cORDINARY_SERIAL, 7},
                      ApplicationCase{"Image8Pinned5_136", 12, 30, 0x0588, cPINNED_SERIAL, 8},
                      ApplicationCase{"Image9", 12, 44, 0x058C, cORDINARY_SERIAL, 9},
                      ApplicationCase{"Image10", 23, 49, 0x05A2, cORDINARY_SERIAL, 10},
                      ApplicationCase{"Image11", 24, 49, 0x0602, cORDINARY_SERIAL, 11}),
    [](const auto& info) { return std::string(info.param.name); });

// The oldest bootloader knows no platform or update-ID query: its loggers are taken to be
// platform 0, print 0, class 0x6601, and it speaks its own programming codes.
TEST_F(UpdateRun, BlLoggerGetsImage1WithAssumedIdentityAndItsOwnCodes) {
    sim::LoggerConfig config;
    config.appVersion = 0x0314;  // 3.20
    config.blClass = 0xC800;
    config.blVersion = 0x0000;
    sim::SimulatedLogger sim(config);

    const Notes notes = run(sim);

    const Notes identification{
        {cNT_CLASS, 0x6601},  {cNT_VERSION, 0x0314},      {cNT_CLASS, 0xC800},
        {cNT_VERSION, 0},     {cNT_PLATFORM, 0},          {cNT_PRINT, 0},
        {cNT_INFO, 0},        {cNT_UPDATE_CLASS, 0x6601}, {cNT_UPDATE_INFO, 0xFFFF},
        {cNT_CHECK_IMAGE, 1}, {cNT_UPDATE_START, tCMD0}};
    ASSERT_GE(notes.size(), identification.size());
    EXPECT_EQ(Notes(notes.begin(), notes.begin() + identification.size()), identification);
    // Image 1 has 523 as its last line index: progress 1 (line 6) to 98.
    expectFullProgramming(notes, 0x6601);
    EXPECT_EQ(ChosenImage.load(), 1);

    const std::vector<std::string> lines = test::imageLines(1);
    const Wire wire = wireAfter(sim, programmingLines(lines).size() + 9);
    const Wire entry{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT, cIDENTITY_QUERY, cSERIAL_QUERY,
                     cJUMP_OLD,        cIDENTITY_QUERY,  cSTART_BL};
    ASSERT_GE(wire.size(), entry.size());
    EXPECT_EQ(Wire(wire.begin(), wire.begin() + entry.size()), entry);
    expectProgrammed(sim, wire, lines, cSTART_BL, cEND_BL);
}

}  // namespace
}  // namespace pelion::test
