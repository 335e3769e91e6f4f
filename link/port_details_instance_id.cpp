#include "link/port_details_instance_id.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

namespace pelion {

namespace {

constexpr std::size_t cID_DIGITS = 4;

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

bool startsWithNoCase(std::string_view text, std::string_view head) {
    return text.size() >= head.size() &&
           std::equal(head.begin(), head.end(), text.begin(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) ==
                      std::toupper(static_cast<unsigned char>(b));
           });
}

// The four hex digits after "VID_" or "PID_", in lower case; empty when they are not there.
std::string idAfter(std::string_view part, std::string_view head) {
    if (!startsWithNoCase(part, head) || part.size() < head.size() + cID_DIGITS) {
        return "";
    }
    std::string digits(part.substr(head.size(), cID_DIGITS));
    for (char& c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return "";
        }
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return digits;
}

// "VID_0403+PID_6001+A10K3XYZA": FTDI appends the channel letter (A for a one-port chip) to the
// chip's serial number.
UsbIdentity ftdiIdentity(std::string_view device) {
    const auto parts = split(device, '+');
    UsbIdentity identity;
    identity.vendorId = idAfter(parts[0], "VID_");
    identity.productId = parts.size() > 1 ? idAfter(parts[1], "PID_") : "";
    if (parts.size() > 2 && parts[2].size() > 1) {
        identity.serial = std::string(parts[2].substr(0, parts[2].size() - 1));
    }
    return identity;
}

// "VID_2341&PID_0043" and the instance "7563331"; an instance with '&' is Windows' own.
UsbIdentity usbBusIdentity(std::string_view device, std::string_view instance) {
    const auto parts = split(device, '&');
    UsbIdentity identity;
    identity.vendorId = idAfter(parts[0], "VID_");
    identity.productId = parts.size() > 1 ? idAfter(parts[1], "PID_") : "";
    if (instance.find('&') == std::string_view::npos) {
        identity.serial = std::string(instance);
    }
    return identity;
}

}  // namespace

UsbIdentity usbIdentityOfInstanceId(const std::string& instanceId) {
    const auto parts = split(instanceId, '\\');
    if (parts.size() != 3) {
        return {};
    }
    if (startsWithNoCase(parts[0], "FTDIBUS") && parts[0].size() == 7) {
        return ftdiIdentity(parts[1]);
    }
    if (startsWithNoCase(parts[0], "USB") && parts[0].size() == 3) {
        return usbBusIdentity(parts[1], parts[2]);
    }
    return {};
}

}  // namespace pelion
