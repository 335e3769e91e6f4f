// Logger ports on Linux: the tty devices that hang off a USB device (ttyUSB*, ttyACM*), as udev
// enumerates them, and a udev monitor on the tty subsystem for ports that come and go.
#include <libudev.h>

#include <cstring>
#include <string_view>

#include "link/port_list.h"

namespace pelion {

namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
};

template <class T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

bool isUsbSerial(udev_device* tty) {
    // The parent is owned by the child device; it must not be unref'd.
    return udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device") != nullptr;
}

// The name shown for a port: its device node below /dev as openComPort takes it ("ttyUSB0"),
// so that the port that opens is the node udev named, whatever the kernel calls the device.
std::string portName(const char* devnode) {
    constexpr std::string_view cDEV = "/dev/";
    const std::string_view node = devnode;
    return std::string(node.starts_with(cDEV) ? node.substr(cDEV.size()) : node);
}

}  // namespace

void getComPortList(std::vector<std::string>& list) {
    list.clear();
    UdevPtr<udev> context(udev_new());
    if (!context) {
        return;
    }
    UdevPtr<udev_enumerate> scan(udev_enumerate_new(context.get()));
    if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(scan.get()) < 0) {
        return;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
        UdevPtr<udev_device> tty(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        const char* devnode = tty ? udev_device_get_devnode(tty.get()) : nullptr;
        if (devnode && isUsbSerial(tty.get())) {
            list.push_back(portName(devnode));
        }
    }
}

struct ComPortMonitor::Impl {
    UdevPtr<udev> context{udev_new()};
    UdevPtr<udev_monitor> monitor;
};

ComPortMonitor::ComPortMonitor() : impl_(std::make_unique<Impl>()) {
    if (!impl_->context) {
        return;
    }
    UdevPtr<udev_monitor> monitor(udev_monitor_new_from_netlink(impl_->context.get(), "udev"));
    if (monitor &&
        udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "tty", nullptr) >= 0 &&
        udev_monitor_enable_receiving(monitor.get()) >= 0) {
        impl_->monitor = std::move(monitor);
    }
}

ComPortMonitor::~ComPortMonitor() = default;

int ComPortMonitor::fd() const {
    return impl_->monitor ? udev_monitor_get_fd(impl_->monitor.get()) : -1;
}

bool ComPortMonitor::isComPortChange() {
    if (!impl_->monitor) {
        return false;
    }
    UdevPtr<udev_device> device(udev_monitor_receive_device(impl_->monitor.get()));
    if (!device) {
        return false;
    }
    const char* action = udev_device_get_action(device.get());
    return action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0);
}

}  // namespace pelion
