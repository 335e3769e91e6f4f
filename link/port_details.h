// What the system knows about each logger port, for telling two USB adapters apart: the
// device path and, where the device has them, the USB vendor and product IDs, the maker's and
// the product's names and the serial number.
#pragma once

#include <string>
#include <vector>

namespace pelion {

struct ComPortDetails {
    std::string name;          // as getComPortList gives it and openComPort takes it
    std::string devicePath;    // "/dev/ttyUSB0", "\\.\COM7"
    std::string vendorId;      // four hex digits, "0403"; empty when unknown
    std::string productId;     // four hex digits, "6001"
    std::string manufacturer;  // empty when the device does not say
    std::string product;
    std::string serial;
};

// A port of which nothing is known but its name and the device path openComPort opens for it.
ComPortDetails namedPort(const std::string& name);

// The logger ports in the order of getComPortList, with their details.
std::vector<ComPortDetails> getComPortDetails();

}  // namespace pelion
