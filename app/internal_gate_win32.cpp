#include <windows.h>

#include <cstdint>

#include "app/internal_gate.h"

namespace pelion {

// The registry holds the setting; there is no file that could be wrong.
bool IsInternal(std::string*) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tessaly\\Orvo", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    // Read as a 32-bit integer whatever type the value was stored with.
    std::int32_t value = 0;
    DWORD size = sizeof value;
    const LONG result =
        RegQueryValueExW(key, L"intern", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && size == sizeof value && value == cINTERNAL_ACCESS_CODE;
}

}  // namespace pelion
