#include "tests/wine/pe_imports.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <regex>
#include <sstream>

#include "tests/cli/child_process.h"

namespace pelion::test {

namespace {

// Those that the programs and Qt's DLLs and plugins import.
constexpr std::array cWINDOWS_DLLS = {
    "advapi32.dll", "authz.dll",   "comdlg32.dll", "d2d1.dll",     "d3d11.dll",    "d3d9.dll",
    "dwmapi.dll",   "dwrite.dll",  "dxgi.dll",     "gdi32.dll",    "imm32.dll",    "kernel32.dll",
    "mpr.dll",      "msvcrt.dll",  "netapi32.dll", "ole32.dll",    "oleaut32.dll", "setupapi.dll",
    "shcore.dll",   "shell32.dll", "shlwapi.dll",  "user32.dll",   "userenv.dll",  "uxtheme.dll",
    "version.dll",  "winmm.dll",   "ws2_32.dll",   "wtsapi32.dll",
};

}  // namespace

std::string lowerCase(std::string text) {
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::set<std::string> importedDlls(const std::filesystem::path& file) {
    ChildProcess objdump({"/bin/sh", "-c", "exec x86_64-w64-mingw32-objdump -p \"$0\"", file}, {});
    objdump.finish();
    const std::regex dllName(R"(\s*DLL Name: (\S+)\r?)");
    std::set<std::string> imported;
    std::istringstream lines(objdump.out());
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_match(line, match, dllName)) {
            imported.insert(lowerCase(match[1]));
        }
    }
    return imported;
}

bool comesWithWindows(const std::string& dll) {
    // The API sets ("api-ms-win-core-synch-l1-2-0.dll") are Windows' own names for its parts.
    return dll.starts_with("api-ms-win-") ||
           std::ranges::find(cWINDOWS_DLLS, dll) != cWINDOWS_DLLS.end();
}

}  // namespace pelion::test
