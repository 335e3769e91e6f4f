// The run's progress on the main window's task-bar button, where the window system draws one
// (Windows: a bar filling the button). Elsewhere, and where the system lacks it, nothing is
// shown and nothing fails: the window's own progress bar stays the place to look.
#pragma once

#include <memory>

class QWidget;

namespace pelion {

class TaskbarProgress {
public:
    // The task-bar progress of this platform for the top-level `window`. Nothing is asked of the
    // window system before the first call that shows something.
    static std::unique_ptr<TaskbarProgress> create(QWidget* window);
    virtual ~TaskbarProgress() = default;

    // A run is active: the button fills to `percent` (0..100).
    virtual void showProgress(int percent) = 0;
    // The run has failed: the whole button turns red.
    virtual void showFailure() = 0;
    // No run to show: the button is plain again.
    virtual void clear() = 0;
};

}  // namespace pelion
