// Test support: a program's output as the lines a user reads.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace pelion::test {

inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// A Windows program ends its lines with a carriage return and a line feed.
inline std::vector<std::string> windowsLinesOf(const std::string& text) {
    std::vector<std::string> lines = linesOf(text);
    for (std::string& line : lines) {
        if (line.ends_with('\r')) {
            line.pop_back();
        }
    }
    return lines;
}

}  // namespace pelion::test
