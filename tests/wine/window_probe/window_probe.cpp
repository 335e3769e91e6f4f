// pelion-window-probe: what Windows knows of the top-level windows on the desktop, and the
// messages and clipboard reads a test needs to check the window program from outside.
//
//   pelion-window-probe windows             one line per visible top-level window:
//                                           handle, style, extended style, owner, process id,
//                                           left, top, right, bottom (of the client area on
//                                           the screen), the caption; tab-separated
//   pelion-window-probe port-arrival HWND COMn
//                                           sends the window WM_DEVICECHANGE with
//                                           DBT_DEVICEARRIVAL and a port broadcast for COMn
//   pelion-window-probe clipboard           the clipboard's text
//   pelion-window-probe clear-clipboard     empties the clipboard
//
// Output is UTF-8. Handles are hexadecimal, as `windows` prints them.
#include <windows.h>

#include <dbt.h>
#include <fcntl.h>
#include <io.h>

#include <cstddef>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring caption(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

BOOL CALLBACK printWindow(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) {
        return TRUE;
    }
    RECT client{};
    GetClientRect(window, &client);
    POINT topLeft{client.left, client.top};
    POINT bottomRight{client.right, client.bottom};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    std::printf("%llx\t%08lx\t%08lx\t%llx\t%lu\t%ld\t%ld\t%ld\t%ld\t%s\n",
                reinterpret_cast<unsigned long long>(window),
                static_cast<unsigned long>(GetWindowLongPtrW(window, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongPtrW(window, GWL_EXSTYLE)),
                reinterpret_cast<unsigned long long>(GetWindow(window, GW_OWNER)),
                static_cast<unsigned long>(process), topLeft.x, topLeft.y, bottomRight.x,
                bottomRight.y, utf8(caption(window)).c_str());
    return TRUE;
}

HWND windowOf(const wchar_t* handle) {
    return reinterpret_cast<HWND>(std::wcstoull(handle, nullptr, 16));
}

// Sent, not posted: the broadcast lives in this process, and Windows copies a device
// broadcast across processes only for a sent message.
int sendPortArrival(HWND window, const std::wstring& port) {
    std::vector<std::byte> buffer(sizeof(DEV_BROADCAST_PORT_W) + port.size() * sizeof(wchar_t));
    auto* broadcast = reinterpret_cast<DEV_BROADCAST_PORT_W*>(buffer.data());
    broadcast->dbcp_size = static_cast<DWORD>(buffer.size());
    broadcast->dbcp_devicetype = DBT_DEVTYP_PORT;
    std::wmemcpy(broadcast->dbcp_name, port.c_str(), port.size() + 1);
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                            reinterpret_cast<LPARAM>(broadcast), SMTO_ABORTIFHUNG, 5000,
                            &result) == 0) {
        std::fprintf(stderr, "pelion-window-probe: the window took no message (%lu)\n",
                     GetLastError());
        return 1;
    }
    return 0;
}

int printClipboard() {
    if (!OpenClipboard(nullptr)) {
        std::fprintf(stderr, "pelion-window-probe: the clipboard is not available\n");
        return 1;
    }
    int status = 1;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            std::printf("%s", utf8(text).c_str());
            GlobalUnlock(data);
            status = 0;
        }
    }
    CloseClipboard();
    return status;
}

int clearClipboard() {
    if (!OpenClipboard(nullptr)) {
        std::fprintf(stderr, "pelion-window-probe: the clipboard is not available\n");
        return 1;
    }
    EmptyClipboard();
    CloseClipboard();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Lines end in a line feed alone, as the tests on Linux read them.
    _setmode(_fileno(stdout), _O_BINARY);
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"windows" && argc == 2) {
        EnumWindows(printWindow, 0);
        return 0;
    }
    if (command == L"port-arrival" && argc == 4) {
        return sendPortArrival(windowOf(argv[2]), argv[3]);
    }
    if (command == L"clipboard" && argc == 2) {
        return printClipboard();
    }
    if (command == L"clear-clipboard" && argc == 2) {
        return clearClipboard();
    }
    std::fprintf(stderr,
                 "usage: pelion-window-probe windows | port-arrival HWND COMn | clipboard | "
                 "clear-clipboard\n");
    return 2;
}
