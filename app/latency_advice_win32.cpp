// Windows: the updater cannot change the timer; its user sets it once per adapter in the
// Device Manager, which keeps it among the device's parameters.
#include "app/latency_advice.h"

namespace pelion {

bool updaterKeepsLatencyTimer() {
    return true;
}

std::string latencyTimerHowTo(const ComPortDetails& port) {
    return "Set it to 1 ms, once for this adapter: Device Manager, Ports (COM & LPT), " +
           port.name + ", Properties, Port Settings, Advanced, Latency Timer (msec), 1.";
}

}  // namespace pelion
