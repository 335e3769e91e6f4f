// The one line setting of the logger's bootloader as Windows takes it: the device control
// block, the driver queues and the time-outs that openComPort applies to every port.
#pragma once

#include <windows.h>

#include <cstdint>

namespace pelion {

// Driver queues, input and output alike.
inline constexpr DWORD cQUEUE_BYTES = 1000;

// 8N1, binary, no flow control of any kind, DTR and RTS not used for handshake. Of all the flag
// bits only fBinary is set.
DCB lineSettings(std::uint32_t baudRate);

// A read of n bytes ends when they are all there or after n + 200 ms, a write of n bytes when
// the driver has passed them on or after the write time limit of serial_port.h. Both then
// succeed with a short count.
COMMTIMEOUTS lineTimeouts();

}  // namespace pelion
