// Where a run's progress shows on a terminal while its report lines are written above it.
#pragma once

#include <string>

namespace pelion::cli {

class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;

    // A new run: the time estimate starts afresh.
    virtual void restart() = 0;
    virtual void show(int percent) = 0;
    // Takes the display off the screen, so that other output starts at a line's beginning.
    virtual void hide() = 0;
    // Puts it back after other output.
    virtual void redraw() = 0;
    // The run has stopped (it may be repeated).
    virtual void stop() = 0;
    // The logger's last word, once no repeat follows.
    virtual void finish(const std::string& verdict) = 0;
};

}  // namespace pelion::cli
