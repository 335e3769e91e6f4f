// What else on this system has a hand on a serial port: the programs that hold it open, the
// group that may open it, and the system services known to take USB serial adapters away in
// the middle of a transfer. Each platform answers what it can tell; the rest stays empty.
#pragma once

#include <string>
#include <vector>

#include "link/port_details.h"

namespace pelion::cli {

// Where the look-ups read the system; tests point them at a tree of their own.
struct SystemPlaces {
    std::string proc = "/proc";
    std::vector<std::string> udevRules{"/etc/udev/rules.d", "/run/udev/rules.d",
                                       "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
};

// The programs that have the device open, as "name (process 1234)".
std::vector<std::string> programsHolding(const std::string& devicePath,
                                         const SystemPlaces& places = {});

// The group whose members may open the device; empty when it cannot be told.
std::string deviceGroup(const std::string& devicePath);

struct ServiceFinding {
    const char* service;  // "ModemManager", "brltty"
    std::string text;     // what it does to the adapter, and how to keep it away
};

// The services that may take this adapter away during an update.
std::vector<ServiceFinding> servicesClaiming(const ComPortDetails& port,
                                             const SystemPlaces& places = {});

}  // namespace pelion::cli
