// pelion-version-probe: a Windows program's version resource as Windows itself reads it
// (GetFileVersionInfoW, VerQueryValueW), the way Explorer's Properties show it.
//
//   pelion-version-probe PROGRAM.exe
//
// One line per value, UTF-8: "Icons=N", the icons Explorer finds in it (ExtractIconExW),
// "FixedFileVersion=A.B.C.D" from the fixed part, then NAME=VALUE for each string of the first
// translation the resource lists. Exit status 1 when the program has no version resource, no
// translation or no fixed part.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* cSTRING_NAMES[] = {
    L"CompanyName",      L"FileDescription", L"FileVersion",    L"InternalName",
    L"OriginalFilename", L"ProductName",     L"ProductVersion", L"Comments",
};

std::string utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(out.empty() ? 0 : out.size() - 1);
    return out;
}

int fail(const char* what) {
    std::fprintf(stderr, "pelion-version-probe: %s (error %lu)\n", what, GetLastError());
    return 1;
}

struct Translation {
    WORD language;
    WORD codePage;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Lines end in \n alone, as the tests read them.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc != 2) {
        std::fputs("usage: pelion-version-probe PROGRAM.exe\n", stderr);
        return 2;
    }
    std::printf("Icons=%u\n", ExtractIconExW(argv[1], -1, nullptr, nullptr, 0));
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
    if (size == 0) {
        return fail("no version resource");
    }
    std::vector<BYTE> info(size);
    if (!GetFileVersionInfoW(argv[1], 0, size, info.data())) {
        return fail("GetFileVersionInfoW failed");
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        length < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != VS_FFI_SIGNATURE) {
        return fail("no fixed file information");
    }
    std::printf("FixedFileVersion=%u.%u.%u.%u\n", unsigned{HIWORD(fixed->dwFileVersionMS)},
                unsigned{LOWORD(fixed->dwFileVersionMS)}, unsigned{HIWORD(fixed->dwFileVersionLS)},
                unsigned{LOWORD(fixed->dwFileVersionLS)});
    Translation* translations = nullptr;
    if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &length) ||
        length < sizeof(Translation)) {
        return fail("no translation listed");
    }
    for (const wchar_t* name : cSTRING_NAMES) {
        wchar_t path[96];
        swprintf(path, 96, L"\\StringFileInfo\\%04x%04x\\%ls", translations[0].language,
                 translations[0].codePage, name);
        wchar_t* value = nullptr;
        if (VerQueryValueW(info.data(), path, reinterpret_cast<void**>(&value), &length) &&
            length > 0) {
            std::printf("%s=%s\n", utf8(name).c_str(), utf8(value).c_str());
        }
    }
    return 0;
}
