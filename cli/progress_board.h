// The progress of several runs on a terminal: one row per logger below the report lines,
// redrawn in place with ANSI cursor movements. Report lines scroll above the rows.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/progress_bar.h"
#include "cli/progress_display.h"

namespace pelion::cli {

class ProgressBoard {
public:
    // One row per label (the ports, in order); no row is longer than `columns` - 1 characters,
    // so none wraps.
    ProgressBoard(std::FILE* terminal, const std::vector<std::string>& labels, int columns);

    // The display of one run; valid while the board lives.
    std::unique_ptr<ProgressDisplay> row(std::size_t index);
    // Takes the rows off the screen for good (before the summary).
    void close();

private:
    class Row;
    struct RowState {
        std::string label;
        ProgressBar bar;
        std::optional<std::string> verdict;
    };

    void changed();
    void hide();
    void redraw();
    std::string rowText(const RowState& row) const;

    std::FILE* out_;
    std::vector<RowState> rows_;
    std::size_t labelWidth_ = 0;
    int columns_;
    int barWidth_;
    bool started_ = false;
    bool visible_ = false;
    bool closed_ = false;
};

}  // namespace pelion::cli
