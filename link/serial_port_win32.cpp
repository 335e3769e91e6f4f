// Windows serial port: the device "\\.\<name>", opened unshared for synchronous I/O, with the
// one fixed line setting of the logger's bootloader and time-outs that turn a late answer into a
// short count.
#include <windows.h>

#include "link/line_settings_win32.h"
#include "link/port_error.h"
#include "link/serial_port.h"
#include "link/utf16_win32.h"

namespace pelion {

namespace {

HANDLE asHandle(ComPort hPort) {
    return reinterpret_cast<HANDLE>(hPort);
}

// DTR on. A port without modem lines (a virtual COM port whose driver has none, a
// pseudo-terminal that Wine presents as a COM port) refuses the request as one it does not
// support or does not know; only that refusal is let pass, as on POSIX.
bool raiseDtr(HANDLE h) {
    if (EscapeCommFunction(h, SETDTR)) {
        return true;
    }
    const DWORD error = GetLastError();
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

bool configure(HANDLE h, std::uint32_t baudRate) {
    DCB dcb = lineSettings(baudRate);
    COMMTIMEOUTS timeouts = lineTimeouts();
    // Line settings before the queue sizes; DTR is raised last and stays up while the port is
    // open, RTS stays low.
    return SetCommState(h, &dcb) && SetupComm(h, cQUEUE_BYTES, cQUEUE_BYTES) &&
           SetCommTimeouts(h, &timeouts) && raiseDtr(h);
}

// Keeps the reason of a failed call of an open port for the link thread; passes `ok` through.
BOOL noteIo(BOOL ok) {
    if (!ok) {
        const DWORD error = GetLastError();
        recordPortError(ioFailure(static_cast<int>(error)), static_cast<int>(error));
    }
    return ok;
}

}  // namespace

std::string comPortPath(const std::string& sPort) {
    return "\\\\.\\" + sPort;
}

ComPort openComPort(const std::string& sPort, std::uint32_t baudRate) {
    const HANDLE h = CreateFileW(fromUtf8(comPortPath(sPort)).c_str(), GENERIC_READ | GENERIC_WRITE,
                                 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        recordPortError(openFailure(static_cast<int>(error)), static_cast<int>(error));
        return cINVALID_PORT;
    }
    if (!configure(h, baudRate)) {
        recordPortError(PortFailure::other, static_cast<int>(GetLastError()));
        CloseHandle(h);
        return cINVALID_PORT;
    }
    return reinterpret_cast<ComPort>(h);
}

void closeComPort(ComPort hPort) {
    CloseHandle(asHandle(hPort));
}

bool clearComError(ComPort hPort) {
    DWORD errors = 0;
    COMSTAT status{};
    return noteIo(ClearCommError(asHandle(hPort), &errors, &status));
}

// Only the input is discarded. A completed write may still sit in the driver's output queue; a
// frame sent without awaiting an answer (the bootloader jump, 1 ms before the next exchange)
// must not be taken back from there.
bool purgeComPort(ComPort hPort) {
    return noteIo(PurgeComm(asHandle(hPort), PURGE_RXABORT | PURGE_RXCLEAR));
}

bool writeComPort(ComPort hPort, const std::uint8_t* data, std::uint32_t n,
                  std::uint32_t& written) {
    DWORD count = 0;
    const BOOL ok = noteIo(WriteFile(asHandle(hPort), data, n, &count, nullptr));
    written = count;
    return ok;
}

bool readComPort(ComPort hPort, std::uint8_t* data, std::uint32_t n, std::uint32_t& received) {
    DWORD count = 0;
    const BOOL ok = noteIo(ReadFile(asHandle(hPort), data, n, &count, nullptr));
    received = count;
    return ok;
}

}  // namespace pelion
