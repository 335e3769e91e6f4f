// What the device instance ID of a USB serial port on Windows tells about its adapter. The USB
// bus driver names a device "USB\VID_2341&PID_0043\7563331" (the serial number last, or an ID
// of its own, with '&', when the device has none); FTDI's bus driver names it
// "FTDIBUS\VID_0403+PID_6001+A10K3XYZA\0000", the serial number followed by the channel letter.
#pragma once

#include <string>

namespace pelion {

struct UsbIdentity {
    std::string vendorId;   // four hex digits in lower case as on Linux, "10c4"; empty when unknown
    std::string productId;  // likewise
    std::string serial;     // empty when the ID holds none
};

UsbIdentity usbIdentityOfInstanceId(const std::string& instanceId);

}  // namespace pelion
