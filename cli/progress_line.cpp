#include "cli/progress_line.h"

#include <algorithm>

namespace pelion::cli {

namespace {

constexpr int cBAR_WIDTH = 40;
constexpr std::size_t cLINE_WIDTH = 70;

std::string minutesSeconds(std::chrono::seconds s) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s.count() / 60),
                  static_cast<long long>(s.count() % 60));
    return text;
}

}  // namespace

void ProgressLine::restart() {
    firstAt_.reset();
    percent_ = 0;
}

void ProgressLine::show(int percent) {
    percent_ = std::clamp(percent, 0, 100);
    if (percent_ > 0 && !firstAt_) {
        firstAt_ = std::chrono::steady_clock::now();
        firstPercent_ = percent_;
    }
    shown_ = true;
    redraw();
}

void ProgressLine::hide() {
    if (visible_) {
        std::fprintf(out_, "\r%*s\r", static_cast<int>(cLINE_WIDTH), "");
        std::fflush(out_);
        visible_ = false;
    }
}

void ProgressLine::stop() {
    hide();
    shown_ = false;
}

void ProgressLine::redraw() {
    if (!shown_) {
        return;
    }
    std::fprintf(out_, "\r%s", text().c_str());
    std::fflush(out_);
    visible_ = true;
}

std::string ProgressLine::text() const {
    const int filled = percent_ * cBAR_WIDTH / 100;
    std::string line =
        "[" + std::string(filled, '#') + std::string(cBAR_WIDTH - filled, '.') + "] ";
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", percent_);
    line += percent;
    if (firstAt_ && percent_ > firstPercent_) {
        const auto elapsed = std::chrono::steady_clock::now() - *firstAt_;
        const auto left = elapsed * (100 - percent_) / (percent_ - firstPercent_);
        line += "  " + minutesSeconds(std::chrono::ceil<std::chrono::seconds>(left)) + " left";
    } else {
        line += "  --:-- left";
    }
    line.resize(std::max(line.size(), cLINE_WIDTH - 1), ' ');
    return line;
}

}  // namespace pelion::cli
