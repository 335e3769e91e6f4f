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

}  // namespace pelion::test
