// Windows: the WM_DEVICECHANGE messages that the system broadcasts to the program's windows.
// Every top-level window gets its own copy of a broadcast (the main, report and message windows,
// the port box's open list); only the copy for the window that shows the port list counts, so
// that one port arrival refills the list once.
#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QPointer>

#include "link/port_list_win32.h"
#include "ui/port_watch.h"

namespace pelion {

namespace {

class DeviceChangePortWatch : public PortWatch, public QAbstractNativeEventFilter {
public:
    explicit DeviceChangePortWatch(QWidget* window) : window_(window) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~DeviceChangePortWatch() override {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType == "windows_generic_MSG") {
            const MSG* msg = static_cast<const MSG*>(message);
            if (msg->message == WM_DEVICECHANGE && isForWindow(msg->hwnd) &&
                isComPortChange(static_cast<std::uintptr_t>(msg->wParam),
                                static_cast<std::intptr_t>(msg->lParam))) {
                emit portsChanged();
            }
        }
        return false;
    }

private:
    // A window without its native window yet has received nothing.
    bool isForWindow(HWND hwnd) const {
        return window_ && window_->internalWinId() != 0 &&
               hwnd == reinterpret_cast<HWND>(window_->internalWinId());
    }

    QPointer<QWidget> window_;
};

}  // namespace

std::unique_ptr<PortWatch> PortWatch::create(QWidget* window) {
    return std::make_unique<DeviceChangePortWatch>(window);
}

}  // namespace pelion
