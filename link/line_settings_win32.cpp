#include "link/line_settings_win32.h"

#include "link/serial_port.h"

namespace pelion {

static_assert(sizeof(DCB) == 28);

// Built from scratch, never read from the port. XON and XOFF keep their usual, distinct codes
// although flow control is off: Windows refuses a block whose two characters are equal (error
// 87), and so do serial drivers that check the characters they are handed. The other
// characters are never used with these flags.
DCB lineSettings(std::uint32_t baudRate) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = baudRate;
    dcb.fBinary = 1;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = ' ';
    dcb.EofChar = ' ';
    dcb.EvtChar = ' ';
    return dcb;
}

COMMTIMEOUTS lineTimeouts() {
    return {
        .ReadIntervalTimeout = 0,
        .ReadTotalTimeoutMultiplier = 1,
        .ReadTotalTimeoutConstant = 200,
        .WriteTotalTimeoutMultiplier = cWRITE_MS_PER_BYTE,
        .WriteTotalTimeoutConstant = cWRITE_MS_EXTRA,
    };
}

}  // namespace pelion
