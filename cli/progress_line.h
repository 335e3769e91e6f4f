// The live progress bar of a single run on a terminal: one line, redrawn in place.
#pragma once

#include <cstdio>

#include "cli/progress_bar.h"
#include "cli/progress_display.h"

namespace pelion::cli {

class ProgressLine : public ProgressDisplay {
public:
    explicit ProgressLine(std::FILE* terminal) : out_(terminal) {}

    void restart() override;
    void show(int percent) override;
    void hide() override;
    void redraw() override;
    // Off the screen until the next show().
    void stop() override;
    // The verdict stands in the report; the line is already gone.
    void finish(const std::string&) override {}

private:
    std::FILE* out_;
    ProgressBar bar_;
    bool visible_ = false;
    bool shown_ = false;
};

}  // namespace pelion::cli
