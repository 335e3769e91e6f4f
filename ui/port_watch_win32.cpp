// Windows: the WM_DEVICECHANGE messages that the system broadcasts to the program's windows.
#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include "link/port_list_win32.h"
#include "ui/port_watch.h"

namespace pelion {

namespace {

class DeviceChangePortWatch : public PortWatch, public QAbstractNativeEventFilter {
public:
    DeviceChangePortWatch() { QCoreApplication::instance()->installNativeEventFilter(this); }
    ~DeviceChangePortWatch() override {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType == "windows_generic_MSG") {
            const MSG* msg = static_cast<const MSG*>(message);
            if (msg->message == WM_DEVICECHANGE &&
                isComPortChange(static_cast<std::uintptr_t>(msg->wParam),
                                static_cast<std::intptr_t>(msg->lParam))) {
                emit portsChanged();
            }
        }
        return false;
    }
};

}  // namespace

std::unique_ptr<PortWatch> PortWatch::create() {
    return std::make_unique<DeviceChangePortWatch>();
}

}  // namespace pelion
