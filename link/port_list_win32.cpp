// Logger ports on Windows: the virtual COM ports that the serial device map of the registry
// lists, and the WM_DEVICECHANGE test for ports that come and go.
#include <windows.h>
// after windows.h, whose types it uses
#include <dbt.h>

#include <cstddef>

#include "link/port_filter.h"
#include "link/port_list.h"
#include "link/port_list_win32.h"
#include "link/utf16_win32.h"

namespace pelion {

static_assert(sizeof(DeviceBroadcastHeader) == sizeof(DEV_BROADCAST_HDR));
static_assert(offsetof(DeviceBroadcastHeader, dbch_devicetype) ==
              offsetof(DEV_BROADCAST_HDR, dbch_devicetype));
static_assert(cDBT_DEVICEARRIVAL == DBT_DEVICEARRIVAL &&
              cDBT_DEVICEREMOVECOMPLETE == DBT_DEVICEREMOVECOMPLETE &&
              cDBT_DEVTYP_PORT == DBT_DEVTYP_PORT);

namespace {

constexpr DWORD cMAX_VALUE_NAME_CHARS = 16384;  // the registry's own limit, terminator included

std::vector<std::string> valueNames(HKEY key) {
    std::vector<std::string> names;
    std::wstring name(cMAX_VALUE_NAME_CHARS, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = cMAX_VALUE_NAME_CHARS;
        if (RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return names;
        }
        names.push_back(toUtf8(name.substr(0, length)));
    }
}

// The string data of one value, as stored, without its terminator.
std::optional<std::string> stringValue(HKEY key, const std::string& valueName) {
    const std::wstring name = fromUtf8(valueName);
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                         &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    data.resize(bytes / sizeof(wchar_t));
    while (!data.empty() && data.back() == L'\0') {
        data.pop_back();
    }
    return toUtf8(data);
}

}  // namespace

void getComPortList(std::vector<std::string>& list) {
    list.clear();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"hardware\\devicemap\\serialcomm", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS) {
        return;  // no serial device map: no ports
    }
    list = valueNames(key);
    keepVirtualComPorts(list, [key](const std::string& name) { return stringValue(key, name); });
    RegCloseKey(key);
}

bool isComPortChange(std::uintptr_t wParam, std::intptr_t lParam) {
    return isPortDeviceChange(wParam, lParam);
}

struct ComPortMonitor::Impl {};

ComPortMonitor::ComPortMonitor() = default;
ComPortMonitor::~ComPortMonitor() = default;

int ComPortMonitor::fd() const {
    return -1;
}

bool ComPortMonitor::isComPortChange() {
    return false;
}

}  // namespace pelion
