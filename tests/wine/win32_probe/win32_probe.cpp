// pelion-win32-probe: what the Windows port layer hands to Windows, read back from Windows, and
// what it makes of Windows' error codes.
//
//   pelion-win32-probe settings COMn     opens COMn as the programs do and prints the line
//                                        settings, time-outs and queue sizes in force then,
//                                        one "name=value" a line
//   pelion-win32-probe failures CODE...  one line per error code of a failed read or write:
//                                        the code, a tab and the words the user reads then
//   pelion-win32-probe text CODE         the system's text for the error code
//   pelion-win32-probe arguments ARG...  the arguments as the programs take them, one a line
//   pelion-win32-probe manifest EXE      the manifest of a program, found where Windows looks
//                                        for it when it starts the program (resource 1 of
//                                        type 24, RT_MANIFEST)
//
// Output is UTF-8.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/port_failure_text.h"
#include "cli/startup.h"
#include "link/line_settings_win32.h"
#include "link/port_error.h"
#include "link/serial_port.h"
#include "link/utf16_win32.h"

namespace {

using namespace pelion;

struct Field {
    const char* name;
    unsigned long value;
};

void print(const Field& field) {
    std::printf("%s=%lu\n", field.name, field.value);
}

void printLineSettings(const DCB& dcb) {
    const Field fields[] = {
        {"DCBlength", dcb.DCBlength},
        {"BaudRate", dcb.BaudRate},
        {"fBinary", dcb.fBinary},
        {"fParity", dcb.fParity},
        {"fOutxCtsFlow", dcb.fOutxCtsFlow},
        {"fOutxDsrFlow", dcb.fOutxDsrFlow},
        {"fDtrControl", dcb.fDtrControl},
        {"fDsrSensitivity", dcb.fDsrSensitivity},
        {"fTXContinueOnXoff", dcb.fTXContinueOnXoff},
        {"fOutX", dcb.fOutX},
        {"fInX", dcb.fInX},
        {"fErrorChar", dcb.fErrorChar},
        {"fNull", dcb.fNull},
        {"fRtsControl", dcb.fRtsControl},
        {"fAbortOnError", dcb.fAbortOnError},
        {"ByteSize", dcb.ByteSize},
        {"Parity", dcb.Parity},
        {"StopBits", dcb.StopBits},
        {"XonChar", static_cast<unsigned char>(dcb.XonChar)},
        {"XoffChar", static_cast<unsigned char>(dcb.XoffChar)},
    };
    for (const Field& field : fields) {
        print(field);
    }
}

void printTimeouts(const COMMTIMEOUTS& t) {
    const Field fields[] = {
        {"ReadIntervalTimeout", t.ReadIntervalTimeout},
        {"ReadTotalTimeoutMultiplier", t.ReadTotalTimeoutMultiplier},
        {"ReadTotalTimeoutConstant", t.ReadTotalTimeoutConstant},
        {"WriteTotalTimeoutMultiplier", t.WriteTotalTimeoutMultiplier},
        {"WriteTotalTimeoutConstant", t.WriteTotalTimeoutConstant},
    };
    for (const Field& field : fields) {
        print(field);
    }
}

// What Windows holds for the open port. Queue sizes cannot be read back: those requested are
// printed.
int printSettings(const std::string& port) {
    const ComPort hPort = openComPort(port, 9600);
    if (hPort == cINVALID_PORT) {
        std::printf("open failed: %s\n", osErrorText(lastPortError().osCode).c_str());
        return 1;
    }
    const HANDLE h = reinterpret_cast<HANDLE>(hPort);
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    COMMTIMEOUTS timeouts{};
    const bool read = GetCommState(h, &dcb) && GetCommTimeouts(h, &timeouts);
    closeComPort(hPort);
    if (!read) {
        std::printf("read back failed: %lu\n", GetLastError());
        return 1;
    }
    printLineSettings(dcb);
    printTimeouts(timeouts);
    print({"InQueue", cQUEUE_BYTES});
    print({"OutQueue", cQUEUE_BYTES});
    return 0;
}

int printFailures(int count, char** codes) {
    for (int i = 0; i < count; ++i) {
        const int code = std::stoi(codes[i]);
        const PortError error{ioFailure(code), code};
        std::printf("%d\t%s\n", code, portFailureText(packPortError(error)).c_str());
    }
    return 0;
}

int printArguments(int argc, char** argv) {
    const std::vector<std::string> arguments = cli::programArguments(argc, argv);
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::printf("%s\n", arguments[i].c_str());
    }
    return 0;
}

int printManifest(const std::string& program) {
    const HMODULE module =
        LoadLibraryExW(fromUtf8(program).c_str(), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const HRSRC resource =
        module ? FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)) : nullptr;
    const HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    if (loaded == nullptr) {
        std::fprintf(stderr, "no manifest in %s: error %lu\n", program.c_str(), GetLastError());
        return 1;
    }
    std::fwrite(LockResource(loaded), 1, SizeofResource(module, resource), stdout);
    FreeLibrary(module);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "settings" && argc == 3) {
        return printSettings(argv[2]);
    }
    if (command == "failures") {
        return printFailures(argc - 2, argv + 2);
    }
    if (command == "text" && argc == 3) {
        std::printf("%s\n", osErrorText(std::stoi(argv[2])).c_str());
        return 0;
    }
    if (command == "arguments") {
        return printArguments(argc, argv);
    }
    if (command == "manifest" && argc == 3) {
        return printManifest(argv[2]);
    }
    std::fprintf(stderr,
                 "usage: pelion-win32-probe settings COMn | failures CODE... | text CODE | "
                 "arguments ARG... | manifest EXE\n");
    return 2;
}
