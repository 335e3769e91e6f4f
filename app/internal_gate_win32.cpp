#include <windows.h>

#include <cstdint>
#include <optional>

#include "app/internal_gate.h"

namespace pelion {

namespace {

// A 32-bit value of the program's registry key, whatever type it was stored with.
std::optional<std::int32_t> settingsNumber(const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tessaly\\Orvo", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::int32_t value = 0;
    DWORD size = sizeof value;
    const LONG result =
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

// The registry holds the setting; there is no file that could be wrong.
bool IsInternal(std::string*) {
    const auto value = settingsNumber(L"intern");
    return value && *value == cINTERNAL_ACCESS_CODE;
}

bool HistoryWanted() {
    const auto value = settingsNumber(L"history");
    return !value || *value != 0;
}

}  // namespace pelion
