// What GetLastError means for a serial port on Windows.
#include <windows.h>

#include "link/port_error.h"
#include "link/utf16_win32.h"

namespace pelion {

namespace {

// A COM port opened unshared by another program answers ERROR_ACCESS_DENIED, not a sharing
// violation: on Windows that code means "held elsewhere", not a missing right. A port locked by
// a program outside Windows' own bookkeeping (under Wine: a Linux program) answers with a lock
// violation.
constexpr ErrorMeaning<DWORD> cOPEN_MEANINGS[] = {
    {ERROR_ACCESS_DENIED, PortFailure::heldElsewhere},
    {ERROR_SHARING_VIOLATION, PortFailure::heldElsewhere},
    {ERROR_LOCK_VIOLATION, PortFailure::heldElsewhere},
    {ERROR_FILE_NOT_FOUND, PortFailure::noSuchDevice},
    {ERROR_PATH_NOT_FOUND, PortFailure::noSuchDevice},
    {ERROR_INVALID_NAME, PortFailure::noSuchDevice},
};

// ERROR_NO_SUCH_DEVICE of Windows' own headers; mingw-w64's lack it.
constexpr DWORD cERROR_NO_SUCH_DEVICE = 433;

// A USB serial adapter pulled out during a run fails its handle's calls with one of these; which
// one depends on the adapter's driver (the last five are what the common drivers answer once the
// device has gone: "access denied" there means the handle is dead, not a missing right).
constexpr ErrorMeaning<DWORD> cIO_MEANINGS[] = {
    {ERROR_BAD_COMMAND, PortFailure::deviceGone},
    {ERROR_DEVICE_REMOVED, PortFailure::deviceGone},
    {ERROR_GEN_FAILURE, PortFailure::deviceGone},
    {ERROR_OPERATION_ABORTED, PortFailure::deviceGone},
    {ERROR_INVALID_HANDLE, PortFailure::deviceGone},
    {ERROR_ACCESS_DENIED, PortFailure::deviceGone},
    {ERROR_FILE_NOT_FOUND, PortFailure::deviceGone},
    {ERROR_DEVICE_NOT_CONNECTED, PortFailure::deviceGone},
    {cERROR_NO_SUCH_DEVICE, PortFailure::deviceGone},
    {ERROR_DEV_NOT_EXIST, PortFailure::deviceGone},
};

}  // namespace

PortFailure openFailure(int osCode) {
    return meaningOf(cOPEN_MEANINGS, static_cast<DWORD>(osCode));
}

PortFailure ioFailure(int osCode) {
    return meaningOf(cIO_MEANINGS, static_cast<DWORD>(osCode));
}

// The system's text in the user's language, as UTF-8 like every other text of the program.
std::string osErrorText(int osCode) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(osCode), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result =
        length > 0 ? toUtf8(std::wstring_view(text, length)) : "error " + std::to_string(osCode);
    LocalFree(text);
    while (!result.empty() &&
           (result.back() == '\n' || result.back() == '\r' || result.back() == '.')) {
        result.pop_back();
    }
    return result;
}

}  // namespace pelion
