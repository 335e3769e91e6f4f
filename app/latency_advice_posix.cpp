// Linux: the updater asks the adapter's driver for low latency (1 ms) while it holds the port;
// the setting in sysfs holds for every other program and after a restart of the driver.
#include "app/latency_advice.h"

namespace pelion {

bool updaterKeepsLatencyTimer() {
    return false;
}

std::string latencyTimerHowTo(const ComPortDetails& port) {
    const std::string tty = port.devicePath.substr(port.devicePath.rfind('/') + 1);
    return "To set it for every program: echo 1 | sudo tee /sys/bus/usb-serial/devices/" + tty +
           "/latency_timer";
}

}  // namespace pelion
