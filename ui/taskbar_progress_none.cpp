// Platforms whose task bars show no progress of a window: nothing to do.
#include "ui/taskbar_progress.h"

namespace pelion {

namespace {

class NoTaskbarProgress final : public TaskbarProgress {
public:
    void showProgress(int) override {}
    void showFailure() override {}
    void clear() override {}
};

}  // namespace

std::unique_ptr<TaskbarProgress> TaskbarProgress::create(QWidget*) {
    return std::make_unique<NoTaskbarProgress>();
}

}  // namespace pelion
