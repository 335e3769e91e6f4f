// The live progress bar on a terminal: one line, redrawn in place, with the time left.
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

namespace pelion::cli {

class ProgressLine {
public:
    explicit ProgressLine(std::FILE* terminal) : out_(terminal) {}

    // A new run: the time estimate starts afresh.
    void restart();
    void show(int percent);
    // Takes the line off the screen, so that other output starts at the line's beginning.
    void hide();
    // Puts it back after other output.
    void redraw();
    // Off the screen until the next show().
    void stop();

private:
    std::string text() const;

    std::FILE* out_;
    int percent_ = 0;
    bool visible_ = false;
    bool shown_ = false;
    std::optional<std::chrono::steady_clock::time_point> firstAt_;
    int firstPercent_ = 0;
};

}  // namespace pelion::cli
