// Test support: every line of a catalogue image, end-of-file record included, as the
// simulated logger's flash is compared against it.
#pragma once

#include <string>
#include <vector>

#include "firmware/catalogue.h"

namespace pelion::test {

inline std::vector<std::string> imageLines(int image) {
    std::vector<std::string> lines;
    const int last = getFirmwareLastLine(image);
    for (int n = 0; n <= last; ++n) {
        std::string text;
        int lastLine = 0;
        TBl3FileHeader header;
        getFirmwareData(image, cFW_LINE, n, text, lastLine, header);
        lines.push_back(text);
    }
    return lines;
}

}  // namespace pelion::test
