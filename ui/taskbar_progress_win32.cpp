// Windows: the task-bar button's progress through the shell's ITaskbarList3 (Windows 7 and
// later). The shell object is made at the first use; where it cannot be made (an older Windows,
// a shell without it, such as Wine's), or refuses a call (the button does not exist yet), the
// button simply shows nothing: the window's own progress bar is what counts.
#include <windows.h>

#include <shobjidl.h>
#include <QWidget>
#include <algorithm>

#include "ui/taskbar_progress.h"

namespace pelion {

namespace {

constexpr ULONGLONG cFULL = 100;

class TaskbarProgressWin32 final : public TaskbarProgress {
public:
    explicit TaskbarProgressWin32(QWidget* window) : window_(window) {}

    ~TaskbarProgressWin32() override {
        if (taskbar_) {
            taskbar_->Release();
        }
        if (comInitialised_) {
            CoUninitialize();
        }
    }

    TaskbarProgressWin32(const TaskbarProgressWin32&) = delete;
    TaskbarProgressWin32& operator=(const TaskbarProgressWin32&) = delete;

    void showProgress(int percent) override {
        show(TBPF_NORMAL, static_cast<ULONGLONG>(std::clamp(percent, 0, 100)));
    }

    void showFailure() override { show(TBPF_ERROR, cFULL); }

    // Nothing to take back when nothing was ever shown.
    void clear() override {
        if (taskbar_) {
            taskbar_->SetProgressState(button(), TBPF_NOPROGRESS);
        }
    }

private:
    void show(TBPFLAG state, ULONGLONG completed) {
        if (!connect()) {
            return;
        }
        taskbar_->SetProgressValue(button(), completed, cFULL);
        taskbar_->SetProgressState(button(), state);
    }

    // True when the shell's task-bar object is at hand; it is asked for once only.
    bool connect() {
        if (taskbar_ || tried_) {
            return taskbar_ != nullptr;
        }
        tried_ = true;
        // The window thread usually has COM already (S_FALSE); each success is balanced.
        comInitialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        ITaskbarList3* taskbar = nullptr;
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&taskbar)))) {
            return false;
        }
        if (FAILED(taskbar->HrInit())) {
            taskbar->Release();
            return false;
        }
        taskbar_ = taskbar;
        return true;
    }

    HWND button() const { return reinterpret_cast<HWND>(window_->winId()); }

    QWidget* const window_;
    ITaskbarList3* taskbar_ = nullptr;
    bool tried_ = false;
    bool comInitialised_ = false;
};

}  // namespace

std::unique_ptr<TaskbarProgress> TaskbarProgress::create(QWidget* window) {
    return std::make_unique<TaskbarProgressWin32>(window);
}

}  // namespace pelion
