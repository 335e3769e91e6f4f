// Outside text made safe to show: nothing a terminal acts on passes, readable text stays as it is.
#include <gtest/gtest.h>

#include "app/safe_text.h"

namespace pelion {
namespace {

TEST(SafeText, EscapesWhatATerminalActsOnAndKeepsReadableText) {
    struct {
        const char* name;
        std::string text;
        std::string shown;
    } const cases[] = {
        {"plain ASCII", "FT232R USB UART", "FT232R USB UART"},
        {"empty", "", ""},
        {"German umlaut", "M\xC3\xBCller \xC3\x9C", "M\xC3\xBCller \xC3\x9C"},
        {"three-byte", "\xE2\x82\xAC 5", "\xE2\x82\xAC 5"},
        {"four-byte", "\xF0\x9F\x94\x8C", "\xF0\x9F\x94\x8C"},
        {"window title", "\x1B]0;owned\x07", "\\x1B]0;owned\\x07"},
        {"cursor up and clear", "A\x1B[1A\x1B[2K", "A\\x1B[1A\\x1B[2K"},
        {"line and field breaks", "a\tb\nc\rd", "a\\x09b\\x0Ac\\x0Dd"},
        {"NUL", std::string("ab\0cd", 5), "ab\\x00cd"},
        {"DEL", "x\x7Fy", "x\\x7Fy"},
        {"C1 CSI",
         "\xC2\x9B"
         "31m",
         "\\xC2\\x9B31m"},
        {"C1 first and last", "\xC2\x80\xC2\x9F", "\\xC2\\x80\\xC2\\x9F"},
        {"just above C1", "\xC2\xA0", "\xC2\xA0"},
        {"lone continuation byte", "a\x80z", "a\\x80z"},
        {"Latin-1, not UTF-8", "M\xFCller", "M\\xFCller"},
        {"cut sequence at the end", "x\xE2\x82", "x\\xE2\\x82"},
        {"overlong slash", "\xC0\xAF", "\\xC0\\xAF"},
        {"overlong three-byte", "\xE0\x80\xAF", "\\xE0\\x80\\xAF"},
        {"surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
        {"invalid byte before valid text", "\xFF\xC3\x9C", "\\xFF\xC3\x9C"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(safeText(c.text), c.shown) << c.name;
    }
}

}  // namespace
}  // namespace pelion
