// Linux: the udev monitor of the port list, read on the window thread when it has an event.
#include <QSocketNotifier>

#include "link/port_list.h"
#include "ui/port_watch.h"

namespace pelion {

namespace {

class UdevPortWatch : public PortWatch {
public:
    UdevPortWatch() {
        if (monitor_.fd() < 0) {
            return;
        }
        notifier_ = new QSocketNotifier(monitor_.fd(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            if (monitor_.isComPortChange()) {
                emit portsChanged();
            }
        });
    }

private:
    ComPortMonitor monitor_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace

std::unique_ptr<PortWatch> PortWatch::create(QWidget*) {
    return std::make_unique<UdevPortWatch>();
}

}  // namespace pelion
