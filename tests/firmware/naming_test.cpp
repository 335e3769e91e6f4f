#include "firmware/naming.h"

#include <gtest/gtest.h>

namespace pelion {
namespace {

TEST(Naming, ClassNames) {
    struct Case {
        std::uint16_t cls, print;
        const char* name;
    };
    const Case cases[] = {
        {0x6601, 0xFFFF, "PelionB"}, {0x6590, 0xFFFF, "Prototype"},
        {0x660A, 0xFFFF, "SD CARD"}, {0x662B, 0xFFFF, "WLAN Production"},
        {0x660D, 0xFFFF, "?"},       {0x6630, 0xFFFF, "?"},
        {0xC800, 0xFFFF, "BL"},      {0xC801, 0xFFFF, "BL2"},
        {0xC802, 0xFFFF, "BL3"},     {0xFFFF, 0xFFFF, "?"},
        {0x6601, 38, "PelionB"},  // the print matters only for the two variant classes
    };
    for (const Case& c : cases)
        EXPECT_EQ(classToStr(c.cls, c.print), c.name) << c.cls;
}

// Every class code of the family has a name of its own.
TEST(Naming, EveryFamilyClassButOneIsNamed) {
    for (std::uint16_t cls = 0x6601; cls <= 0x662F; ++cls) {
        SCOPED_TRACE(cls);
        if (cls == 0x660D) {
            EXPECT_EQ(checkClass(cls), 0xFFFF);
            continue;
        }
        EXPECT_EQ(checkClass(cls), cls);
        EXPECT_FALSE(classToStr(cls, 0xFFFF).empty());
    }
}

TEST(Naming, VariantClassNameFollowsTheRadioBoard) {
    for (std::uint16_t cls : {0x6617, 0x6621}) {
        SCOPED_TRACE(cls);
        const std::string wlan = classToStr(cls, 38);
        const std::string ble = classToStr(cls, 39);
        const std::string generic = classToStr(cls, 37);
        EXPECT_EQ(classToStr(cls, 47), wlan);
        EXPECT_EQ(classToStr(cls, 48), ble);
        EXPECT_EQ(classToStr(cls, 0xFFFF), generic);
        EXPECT_NE(wlan, ble);
        EXPECT_NE(wlan, generic);
        EXPECT_NE(ble, generic);
        EXPECT_NE(generic, "?");
    }
    EXPECT_NE(classToStr(0x6617, 38), classToStr(0x6621, 38));
}

TEST(Naming, PlatformAndPrintNames) {
    EXPECT_EQ(platformToStr(65534), "F1611 C-SP");
    EXPECT_EQ(platformToStr(0), "F1612 A");
    EXPECT_EQ(platformToStr(24), "F5335B");
    EXPECT_EQ(platformToStr(25), "?");
    EXPECT_NE(platformToStr(20), "?");
    EXPECT_EQ(printToStr(6), "A5");
    EXPECT_EQ(printToStr(41), "?");
    EXPECT_EQ(printToStr(42), "?");
    EXPECT_EQ(printToStr(50), "A10 Modbus");
    EXPECT_EQ(printToStr(51), "?");
    for (std::uint16_t print : {12, 24, 25, 26, 27, 28, 29, 40, 43})
        EXPECT_NE(printToStr(print), "?") << print;
}

TEST(Naming, ChecksKeepKnownCodesOnly) {
    EXPECT_EQ(checkClass(0x660D), 0xFFFF);
    EXPECT_EQ(checkClass(0xFFFF), 0xFFFF);
    EXPECT_EQ(checkClass(0x6590), 0x6590);
    EXPECT_EQ(checkClass(0xC802), 0xC802);
    EXPECT_EQ(checkPlatform(25), 0xFFFF);
    EXPECT_EQ(checkPlatform(0xFFFE), 0xFFFE);
    EXPECT_EQ(checkPlatform(0xFFFF), 0xFFFF);
    EXPECT_EQ(checkPrint(41), 0xFFFF);
    EXPECT_EQ(checkPrint(49), 49);
}

TEST(Naming, UpdateIdBlockAddress) {
    struct Case {
        std::uint16_t platform;
        std::uint32_t address;
    };
    const Case cases[] = {{12, 0x1800}, {17, 0x1800}, {20, 0x1800}, {24, 0x1800},     {8, 0x1900},
                          {11, 0x1900}, {1, 0x1000},  {10, 0x1000}, {0xFFFE, 0x1000}, {0, 0},
                          {3, 0},       {18, 0},      {19, 0},      {25, 0},          {0xFFFF, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(getUpidAddress(c.platform), c.address) << c.platform;
}

}  // namespace
}  // namespace pelion
