#include "cli/progress_line.h"

#include <algorithm>
#include <string>

namespace pelion::cli {

namespace {

constexpr int cBAR_WIDTH = 40;
constexpr std::size_t cLINE_WIDTH = 70;

}  // namespace

void ProgressLine::restart() {
    bar_.restart();
}

void ProgressLine::show(int percent) {
    bar_.set(percent);
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
    std::string line = bar_.text(cBAR_WIDTH);
    line.resize(std::max(line.size(), cLINE_WIDTH - 1), ' ');
    std::fprintf(out_, "\r%s", line.c_str());
    std::fflush(out_);
    visible_ = true;
}

}  // namespace pelion::cli
