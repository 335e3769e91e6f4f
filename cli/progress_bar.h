// One run's progress as text: a bar, the percentage and the time left, estimated from the pace
// since the first step (the first step's own time includes the logger's identification).
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace pelion::cli {

class ProgressBar {
public:
    void restart();
    void set(int percent);
    // "[##########..........]  50%  1:52 left", the bar `barWidth` characters between brackets.
    std::string text(int barWidth) const;

private:
    int percent_ = 0;
    std::optional<std::chrono::steady_clock::time_point> firstAt_;
    int firstPercent_ = 0;
};

}  // namespace pelion::cli
