#include "link/port_filter.h"

#include <cstring>

namespace pelion {

namespace {

constexpr std::string_view cVIRTUAL_COM_PORT_PREFIX = "\\device\\vcp";

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool isVirtualComPortName(std::string_view valueName) {
    if (valueName.size() < cVIRTUAL_COM_PORT_PREFIX.size()) {
        return false;
    }
    for (std::size_t i = 0; i < cVIRTUAL_COM_PORT_PREFIX.size(); ++i) {
        if (asciiLower(valueName[i]) != cVIRTUAL_COM_PORT_PREFIX[i]) {
            return false;
        }
    }
    return true;
}

void keepVirtualComPorts(
    std::vector<std::string>& list,
    const std::function<std::optional<std::string>(const std::string&)>& comNameOf) {
    // From the last entry to the first, so that a deletion never moves an entry still to come.
    for (std::size_t i = list.size(); i-- > 0;) {
        std::optional<std::string> comName;
        if (isVirtualComPortName(list[i])) {
            comName = comNameOf(list[i]);
        }
        if (comName && !comName->empty()) {
            list[i] = std::move(*comName);
        } else {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

bool isPortDeviceChange(std::uintptr_t wParam, std::intptr_t lParam) {
    if ((wParam != cDBT_DEVICEARRIVAL && wParam != cDBT_DEVICEREMOVECOMPLETE) || lParam == 0) {
        return false;
    }
    // Copied out rather than cast: the sender's structure is only known to begin this way.
    DeviceBroadcastHeader header;
    std::memcpy(&header, reinterpret_cast<const void*>(lParam), sizeof header);
    return header.dbch_devicetype == cDBT_DEVTYP_PORT;
}

}  // namespace pelion
