// Test support: what a terminal shows after a program's output, for the few control sequences
// the command line uses (carriage return, line feed, cursor up, erase to the end of the line or
// of the screen). The screen has no height limit, so nothing scrolls away.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

namespace pelion::test {

class TerminalScreen {
public:
    void feed(std::string_view bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\x1b' && i + 1 < bytes.size() && bytes[i + 1] == '[') {
                i = control(bytes, i + 2);
            } else {
                put(bytes[i]);
            }
        }
    }

    // The screen's lines, without blanks at their ends or empty lines at the bottom.
    std::vector<std::string> lines() const { return trimmed(lines_); }

    // The screen each time just before its end was erased: what the progress rows showed
    // before they went away for other output.
    const std::vector<std::vector<std::string>>& erased() const { return erased_; }

private:
    // The sequence after "ESC [": a number (1 when none) and a final letter; returns where it
    // ends.
    std::size_t control(std::string_view bytes, std::size_t i) {
        std::size_t n = 0;
        bool hasNumber = false;
        for (; i < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[i])); ++i) {
            n = n * 10 + static_cast<std::size_t>(bytes[i] - '0');
            hasNumber = true;
        }
        if (i >= bytes.size()) {
            return i;
        }
        switch (bytes[i]) {
            case 'A':
                row_ -= std::min(row_, hasNumber ? n : 1);
                break;
            case 'K':
                line().resize(std::min(line().size(), column_));
                break;
            case 'J':
                erased_.push_back(trimmed(lines_));
                line().resize(std::min(line().size(), column_));
                lines_.resize(row_ + 1);
                break;
            default:
                break;
        }
        return i;
    }

    void put(char c) {
        switch (c) {
            case '\r':
                column_ = 0;
                return;
            case '\n':
                ++row_;
                line();
                return;
            case '\a':
                return;
            default:
                break;
        }
        std::string& l = line();
        if (l.size() <= column_) {
            l.resize(column_ + 1, ' ');
        }
        l[column_++] = c;
    }

    std::string& line() {
        if (lines_.size() <= row_) {
            lines_.resize(row_ + 1);
        }
        return lines_[row_];
    }

    static std::vector<std::string> trimmed(std::vector<std::string> lines) {
        for (std::string& l : lines) {
            l.erase(l.find_last_not_of(' ') + 1);
        }
        while (!lines.empty() && lines.back().empty()) {
            lines.pop_back();
        }
        return lines;
    }

    std::vector<std::string> lines_;
    std::size_t row_ = 0;
    std::size_t column_ = 0;
    std::vector<std::vector<std::string>> erased_;
};

}  // namespace pelion::test
