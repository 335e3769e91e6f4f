#include "cli/progress_bar.h"

#include <algorithm>
#include <cstdio>

namespace pelion::cli {

namespace {

std::string minutesSeconds(std::chrono::seconds s) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s.count() / 60),
                  static_cast<long long>(s.count() % 60));
    return text;
}

}  // namespace

void ProgressBar::restart() {
    firstAt_.reset();
    percent_ = 0;
}

void ProgressBar::set(int percent) {
    percent_ = std::clamp(percent, 0, 100);
    if (percent_ > 0 && !firstAt_) {
        firstAt_ = std::chrono::steady_clock::now();
        firstPercent_ = percent_;
    }
}

std::string ProgressBar::text(int barWidth) const {
    const int filled = percent_ * barWidth / 100;
    std::string line = "[";
    line.append(filled, '#').append(barWidth - filled, '.').append("] ");
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", percent_);
    line += percent;
    if (firstAt_ && percent_ > firstPercent_) {
        const auto elapsed = std::chrono::steady_clock::now() - *firstAt_;
        const auto left = elapsed * (100 - percent_) / (percent_ - firstPercent_);
        line.append("  ")
            .append(minutesSeconds(std::chrono::ceil<std::chrono::seconds>(left)))
            .append(" left");
    } else {
        line += "  --:-- left";
    }
    return line;
}

}  // namespace pelion::cli
