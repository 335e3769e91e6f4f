// What GetLastError means for a serial port on Windows.
#include <windows.h>

#include "link/port_error.h"

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

// A USB serial adapter pulled out during a run fails its handle's calls with one of these.
constexpr ErrorMeaning<DWORD> cIO_MEANINGS[] = {
    {ERROR_BAD_COMMAND, PortFailure::deviceGone},
    {ERROR_DEVICE_REMOVED, PortFailure::deviceGone},
    {ERROR_GEN_FAILURE, PortFailure::deviceGone},
    {ERROR_OPERATION_ABORTED, PortFailure::deviceGone},
    {ERROR_INVALID_HANDLE, PortFailure::deviceGone},
};

}  // namespace

PortFailure openFailure(int osCode) {
    return meaningOf(cOPEN_MEANINGS, static_cast<DWORD>(osCode));
}

PortFailure ioFailure(int osCode) {
    return meaningOf(cIO_MEANINGS, static_cast<DWORD>(osCode));
}

std::string osErrorText(int osCode) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(osCode), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length > 0 ? std::string(text, length) : "error " + std::to_string(osCode);
    LocalFree(text);
    while (!result.empty() &&
           (result.back() == '\n' || result.back() == '\r' || result.back() == '.')) {
        result.pop_back();
    }
    return result;
}

}  // namespace pelion
