// The list of logger ports (the virtual serial ports of USB cables) and the watch for ports
// that come and go.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace pelion {

// Replaces `list` with the names of the logger ports, in the system's enumeration order;
// empty when there are none or the system cannot be asked. Each name opens with openComPort.
void getComPortList(std::vector<std::string>& list);

// Watches for serial ports that appear or disappear. On Linux it is a udev monitor whose file
// descriptor a front end adds to its event loop; isComPortChange() consumes one pending event
// and answers whether it was a serial port added or removed. (On Windows the window's
// WM_DEVICECHANGE message is asked instead: see port_list_win32.h.)
class ComPortMonitor {
public:
    ComPortMonitor();
    ~ComPortMonitor();
    ComPortMonitor(const ComPortMonitor&) = delete;
    ComPortMonitor& operator=(const ComPortMonitor&) = delete;

    // -1 when no monitor could be set up (the port list then only refreshes at start).
    int fd() const;
    bool isComPortChange();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace pelion
