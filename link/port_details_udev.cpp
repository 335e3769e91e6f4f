// Port details on Linux: udev's view of each logger port and of the USB device it hangs off.
#include <libudev.h>

#include <charconv>
#include <memory>

#include "link/port_details.h"
#include "link/port_list.h"

namespace pelion {

namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};

template <class T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string attribute(udev_device* device, const char* name) {
    const char* value = device ? udev_device_get_sysattr_value(device, name) : nullptr;
    return value ? value : "";
}

// The latency timer of USB serial drivers that keep one (ftdi_sio): an attribute of the
// usb-serial port device between the USB device and the tty.
std::optional<int> latencyTimer(udev_device* tty) {
    udev_device* port = udev_device_get_parent_with_subsystem_devtype(tty, "usb-serial", nullptr);
    const std::string text = attribute(port, "latency_timer");
    int ms = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ms);
    if (text.empty() || error != std::errc{} ||
        (end != text.data() + text.size() && *end != '\n')) {
        return std::nullopt;
    }
    return ms;
}

// The port named as getComPortList names it, looked up by its device node.
ComPortDetails detailsOf(udev* context, const std::string& name) {
    ComPortDetails details = namedPort(name);
    const std::string sysName = details.devicePath.substr(details.devicePath.rfind('/') + 1);
    UdevPtr<udev_device> tty(
        udev_device_new_from_subsystem_sysname(context, "tty", sysName.c_str()));
    // The USB device is owned by the tty device; it must not be unref'd.
    udev_device* usb =
        tty ? udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_device")
            : nullptr;
    details.vendorId = attribute(usb, "idVendor");
    details.productId = attribute(usb, "idProduct");
    details.manufacturer = attribute(usb, "manufacturer");
    details.product = attribute(usb, "product");
    details.serial = attribute(usb, "serial");
    const char* usbName = usb ? udev_device_get_sysname(usb) : nullptr;
    details.location = usbName ? usbName : "";
    if (tty) {
        details.latencyTimerMs = latencyTimer(tty.get());
    }
    return details;
}

}  // namespace

std::vector<ComPortDetails> getComPortDetails() {
    std::vector<std::string> names;
    getComPortList(names);
    std::vector<ComPortDetails> details;
    UdevPtr<udev> context(udev_new());
    for (const std::string& name : names) {
        details.push_back(context ? detailsOf(context.get(), name) : namedPort(name));
    }
    return details;
}

}  // namespace pelion
