#include <windows.h>

#include <filesystem>

#include "app/history_file.h"
#include "link/utf16_win32.h"

namespace pelion {

namespace {

std::string systemWords(DWORD error) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string words = text ? toUtf8(text) : "error " + std::to_string(error);
    LocalFree(text);
    while (!words.empty() &&
           (words.back() == '\n' || words.back() == '\r' || words.back() == '.')) {
        words.pop_back();
    }
    return words;
}

// Closes the handle, and with it the lock, on every way out.
class OpenFile {
public:
    explicit OpenFile(HANDLE handle) : handle_(handle) {}
    ~OpenFile() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_;
};

// Deleting and renaming stay possible while others hold the file, so that it can rotate.
HANDLE openShared(const std::wstring& path, DWORD access, DWORD creation) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool sameFile(HANDLE held, const std::wstring& path) {
    const OpenFile named(openShared(path, 0, OPEN_EXISTING));
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    return named.handle() != INVALID_HANDLE_VALUE && GetFileInformationByHandle(held, &a) &&
           GetFileInformationByHandle(named.handle(), &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

bool endsInCutLine(HANDLE file, LONGLONG size) {
    if (size <= 0) {
        return false;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(size - 1);
    at.OffsetHigh = static_cast<DWORD>((size - 1) >> 32);
    char last = '\n';
    DWORD got = 0;
    return ReadFile(file, &last, 1, &got, &at) && got == 1 && last != '\n';
}

bool writeAtEnd(HANDLE file, LONGLONG size, const std::string& bytes) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(size);
    at.OffsetHigh = static_cast<DWORD>(size >> 32);
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &at) &&
           written == bytes.size();
}

std::string makeFolderOf(const std::wstring& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, error);
    }
    return error ? "cannot create the folder " + toUtf8(folder.wstring()) + " (" + error.message() +
                       ")"
                 : std::string{};
}

}  // namespace

std::string appendWholeLine(const std::string& path, const std::string& line,
                            std::uint64_t rotateBytes, const std::string& previousPath) {
    const std::wstring wide = fromUtf8(path);
    if (std::string problem = makeFolderOf(wide); !problem.empty()) {
        return problem;
    }
    // Another process may rotate the file between our open and our lock: then the file we hold
    // is no longer the history, and we open the new one.
    for (;;) {
        const OpenFile file(openShared(wide, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS));
        if (file.handle() == INVALID_HANDLE_VALUE) {
            return "cannot open the history " + path + " (" + systemWords(GetLastError()) + ")";
        }
        if (GetFileType(file.handle()) != FILE_TYPE_DISK) {
            return "the history " + path + " is not a regular file";
        }
        OVERLAPPED whole{};
        if (!LockFileEx(file.handle(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
            return "cannot lock the history " + path + " (" + systemWords(GetLastError()) + ")";
        }
        if (!sameFile(file.handle(), wide)) {
            continue;
        }
        LARGE_INTEGER size{};
        GetFileSizeEx(file.handle(), &size);
        if (static_cast<std::uint64_t>(size.QuadPart) >= rotateBytes) {
            if (!MoveFileExW(wide.c_str(), fromUtf8(previousPath).c_str(),
                             MOVEFILE_REPLACE_EXISTING)) {
                return "cannot rotate the history " + path + " (" + systemWords(GetLastError()) +
                       ")";
            }
            continue;
        }
        const std::string bytes =
            (endsInCutLine(file.handle(), size.QuadPart) ? "\n" : "") + line + "\n";
        if (!writeAtEnd(file.handle(), size.QuadPart, bytes) || !FlushFileBuffers(file.handle())) {
            return "cannot write the history " + path + " (" + systemWords(GetLastError()) + ")";
        }
        return {};
    }
}

}  // namespace pelion
