// The output of --list-ports: each logger port with what the system knows about its device.
#pragma once

#include <string>
#include <vector>

#include "link/port_details.h"

namespace pelion::cli {

// A table with a heading for people; "-" stands for what the device does not tell.
std::string portTable(const std::vector<ComPortDetails>& ports);
// For scripts: no heading, one line per port, nine tab-separated fields in this order (an
// unknown one empty): port, device path, vendor ID, product ID, manufacturer, product, serial,
// latency timer in ms, location.
std::string portTabSeparated(const std::vector<ComPortDetails>& ports);

}  // namespace pelion::cli
