#include <windows.h>

#include <cstdlib>

#include "app/history_file.h"
#include "link/utf16_win32.h"

namespace pelion {

std::optional<std::string> defaultHistoryPath() {
    const wchar_t* localAppData = _wgetenv(L"LOCALAPPDATA");
    if (!localAppData || localAppData[0] == L'\0') {
        return std::nullopt;
    }
    return toUtf8(localAppData) + "\\Pelion Firmware Update\\history.jsonl";
}

std::string hostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? toUtf8(std::wstring_view(name, size)) : std::string{};
}

}  // namespace pelion
