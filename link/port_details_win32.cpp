// Port details on Windows: the devices of the Ports class as SetupAPI enumerates them, matched
// to the logger ports by the "PortName" their driver keeps among the device parameters. The
// USB IDs and serial number come from the device instance ID, the maker, the product and the
// location from the device's registry properties, and the latency timer from the
// "LatencyTimer" device parameter, where the driver keeps one (FTDI's does).
#include <windows.h>
// after windows.h, whose types they use
#include <setupapi.h>

#include <map>

#include "link/port_details.h"
#include "link/port_details_instance_id.h"
#include "link/port_list.h"
#include "link/utf16_win32.h"

namespace pelion {

namespace {

// GUID_DEVCLASS_PORTS, the setup class of serial and parallel ports.
constexpr GUID cPORTS_CLASS = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

struct DeviceList {
    HDEVINFO handle;
    ~DeviceList() {
        if (handle != INVALID_HANDLE_VALUE) {
            SetupDiDestroyDeviceInfoList(handle);
        }
    }
};

struct RegistryKey {
    HKEY handle;
    ~RegistryKey() {
        if (handle != INVALID_HANDLE_VALUE) {
            RegCloseKey(handle);
        }
    }
};

// A string property of the device; empty when it has none. The first call asks for the size,
// as the call's rules require when the size is not known.
std::string deviceProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
    DWORD type = 0;
    DWORD bytes = 0;
    SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type, nullptr, 0, &bytes);
    if (bytes == 0) {
        return "";
    }
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type,
                                           reinterpret_cast<BYTE*>(text.data()), bytes, nullptr) ||
        type != REG_SZ) {
        return "";
    }
    text.resize(wcsnlen(text.c_str(), text.size()));
    return toUtf8(text);
}

std::string instanceId(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    DWORD chars = 0;
    SetupDiGetDeviceInstanceIdW(devices, &device, nullptr, 0, &chars);
    if (chars == 0) {
        return "";
    }
    std::wstring id(chars, L'\0');
    if (!SetupDiGetDeviceInstanceIdW(devices, &device, id.data(), chars, nullptr)) {
        return "";
    }
    id.resize(wcsnlen(id.c_str(), id.size()));
    return toUtf8(id);
}

std::string stringValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return "";
    }
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()),
                         &bytes) != ERROR_SUCCESS) {
        return "";
    }
    text.resize(wcsnlen(text.c_str(), text.size()));
    return toUtf8(text);
}

std::optional<int> dwordValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD bytes = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

// One device of the Ports class: its COM name from the device parameters, and what it tells.
void addDevice(HDEVINFO devices, SP_DEVINFO_DATA& device,
               std::map<std::string, ComPortDetails>& byName) {
    RegistryKey parameters{
        SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE)};
    if (parameters.handle == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::string name = stringValue(parameters.handle, L"PortName");
    if (name.empty()) {
        return;
    }
    ComPortDetails details = namedPort(name);
    const UsbIdentity usb = usbIdentityOfInstanceId(instanceId(devices, device));
    details.vendorId = usb.vendorId;
    details.productId = usb.vendorId.empty() ? "" : usb.productId;
    details.serial = usb.serial;
    details.manufacturer = deviceProperty(devices, device, SPDRP_MFG);
    details.product = deviceProperty(devices, device, SPDRP_DEVICEDESC);
    details.location = deviceProperty(devices, device, SPDRP_LOCATION_INFORMATION);
    details.latencyTimerMs = dwordValue(parameters.handle, L"LatencyTimer");
    byName[name] = details;
}

std::map<std::string, ComPortDetails> portsClassDevices() {
    std::map<std::string, ComPortDetails> byName;
    DeviceList devices{SetupDiGetClassDevsW(&cPORTS_CLASS, nullptr, nullptr, DIGCF_PRESENT)};
    if (devices.handle == INVALID_HANDLE_VALUE) {
        return byName;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices.handle, index, &device); ++index) {
        addDevice(devices.handle, device, byName);
    }
    return byName;
}

}  // namespace

std::vector<ComPortDetails> getComPortDetails() {
    std::vector<std::string> names;
    getComPortList(names);
    const std::map<std::string, ComPortDetails> known = portsClassDevices();
    std::vector<ComPortDetails> details;
    for (const std::string& name : names) {
        const auto device = known.find(name);
        details.push_back(device != known.end() ? device->second : namedPort(name));
    }
    return details;
}

}  // namespace pelion
