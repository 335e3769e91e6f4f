// The platform-independent rules of the Windows port list and of its device-change test, kept
// apart from the Windows calls so that they run everywhere.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelion {

// The registry names the virtual COM ports of USB cables "\Device\VCP<n>", in any case.
bool isVirtualComPortName(std::string_view valueName);

// `list` holds the value names of the serial device map in the registry's enumeration order.
// Each virtual COM port is replaced in place by its COM name, as `comNameOf` reads it; every
// other entry goes, as does a port whose COM name cannot be read or is empty. The order stays.
void keepVirtualComPorts(
    std::vector<std::string>& list,
    const std::function<std::optional<std::string>(const std::string&)>& comNameOf);

// The common head of every device-change broadcast (DEV_BROADCAST_HDR).
struct DeviceBroadcastHeader {
    std::uint32_t dbch_size;
    std::uint32_t dbch_devicetype;
    std::uint32_t dbch_reserved;
};

inline constexpr std::uintptr_t cDBT_DEVICEARRIVAL = 0x8000;
inline constexpr std::uintptr_t cDBT_DEVICEREMOVECOMPLETE = 0x8004;
inline constexpr std::uint32_t cDBT_DEVTYP_PORT = 3;

// True when a WM_DEVICECHANGE message (wParam, lParam) reports a serial port that arrived or
// went away. lParam points to a broadcast header only for an arrival or a removal, so for every
// other wParam it is not touched.
bool isPortDeviceChange(std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace pelion
