// Texts from devices and firmware files in the tables pelion-update prints: whatever they hold,
// nothing reaches the terminal that it would act on, every line keeps its fields, and readable
// text stays readable.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "cli/firmware_table.h"
#include "cli/port_table.h"
#include "tests/support/text_lines.h"

namespace pelion {
namespace {

using test::linesOf;

struct OutsideText {
    const char* name;
    std::string text;
    std::string shown;
};

const OutsideText cOUTSIDE_TEXTS[] = {
    {"plain", "FT232R USB UART", "FT232R USB UART"},
    {"umlaut",
     "\xC3\x9C"
     "berwachung",
     "\xC3\x9C"
     "berwachung"},
    {"window title", "\x1B]0;pwned\x07", "\\x1B]0;pwned\\x07"},
    {"cursor up, erase row", "x\x1B[1A\x1B[2K", "x\\x1B[1A\\x1B[2K"},
    {"forged row", "UART\nttyUSB9\t/dev/ttyUSB9", "UART\\x0AttyUSB9\\x09/dev/ttyUSB9"},
    {"carriage return", "hidden\rshown", "hidden\\x0Dshown"},
    {"NUL inside", std::string("13.10.2022\0 cut", 15), "13.10.2022\\x00 cut"},
    {"C1 CSI",
     "\xC2\x9B"
     "2J",
     "\\xC2\\x9B2J"},
    {"DEL", "a\x7F", "a\\x7F"},
    {"Latin-1", "M\xFCller", "M\\xFCller"},
};

bool holdsControl(const std::string& output) {
    return std::any_of(output.begin(), output.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b < 0x20 && b != '\n' && b != '\t') || b == 0x7F;
    });
}

// The cells of an aligned row: text between runs of two or more blanks.
std::vector<std::string> cellsOf(const std::string& row) {
    const std::regex gap("  +");
    return {std::sregex_token_iterator(row.begin(), row.end(), gap, -1),
            std::sregex_token_iterator()};
}

ComPortDetails portWith(const std::string& text) {
    return {"ttyUSB0", "/dev/ttyUSB0", "0403", "6001", text, text, text, "", std::nullopt};
}

TEST(OutsideText, PortTableShowsDeviceStringsSafely) {
    for (const OutsideText& c : cOUTSIDE_TEXTS) {
        const std::string table = cli::portTable({portWith(c.text)});
        EXPECT_FALSE(holdsControl(table)) << c.name;
        const auto lines = linesOf(table);
        ASSERT_EQ(lines.size(), 2u) << c.name << "\n" << table;
        EXPECT_EQ(cellsOf(lines[1]),
                  (std::vector<std::string>{"ttyUSB0", "/dev/ttyUSB0", "0403:6001", c.shown,
                                            c.shown, c.shown, "-"}))
            << c.name;
    }
}

TEST(OutsideText, TabSeparatedPortsKeepNineFields) {
    for (const OutsideText& c : cOUTSIDE_TEXTS) {
        const std::string text = cli::portTabSeparated({portWith(c.text)});
        EXPECT_FALSE(holdsControl(text)) << c.name;
        EXPECT_EQ(text, "ttyUSB0\t/dev/ttyUSB0\t0403\t6001\t" + c.shown + "\t" + c.shown + "\t" +
                            c.shown + "\t\t\n")
            << c.name;
    }
}

TEST(OutsideText, FirmwareTableShowsTheFileDateSafelyAndKeepsEveryRow) {
    for (const OutsideText& c : cOUTSIDE_TEXTS) {
        TBl3FileHeader fromFile{26113, 6, 2, 24, 49, c.text, 3, 0};
        TBl3FileHeader embedded{26113, 5, 162, 24, 49, "01.02.2020 10:00:00", 3, 0};
        const std::string table = cli::firmwareTable({fromFile, embedded});
        EXPECT_FALSE(holdsControl(table)) << c.name;
        const auto lines = linesOf(table);
        ASSERT_EQ(lines.size(), 3u) << c.name << "\n" << table;
        EXPECT_EQ(cellsOf(lines[1]).at(4), c.shown) << c.name;
        EXPECT_EQ(cellsOf(lines[2]).at(4), "01.02.2020 10:00:00") << c.name;
    }
}

}  // namespace
}  // namespace pelion
