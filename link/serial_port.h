// The serial port of a logger: opened with the one fixed line setting of its bootloader
// (8N1, no flow control, DTR raised, RTS low) and driven by the link thread alone.
//
// Each platform has its own implementation file; the link thread relies only on what is said
// here. A time-out is never an error: it shows as a short count, which the link thread turns
// into a failed attempt. False means the operating system rejected the call.
#pragma once

#include <cstdint>
#include <string>

namespace pelion {

// The native handle: a file descriptor on POSIX, a HANDLE value on Win32.
using ComPort = std::intptr_t;
inline constexpr ComPort cINVALID_PORT = -1;

// The device openComPort opens for a port name, UTF-8. POSIX: a name that is not an absolute
// path is taken below /dev ("ttyUSB0" -> "/dev/ttyUSB0"). Win32: "COM7" -> "\\.\COM7".
std::string comPortPath(const std::string& sPort);

// Opens and configures the port, exclusively: a port held by anyone, this process included,
// does not open. Returns cINVALID_PORT when any step fails, with nothing left open.
ComPort openComPort(const std::string& sPort, std::uint32_t baudRate);
void closeComPort(ComPort hPort);

// Clears a pending line error.
bool clearComError(ComPort hPort);
// Discards everything still waiting to be read, such as late bytes of an earlier answer. Bytes
// of a completed write are never taken back.
bool purgeComPort(ComPort hPort);
// How long a write of n bytes may take: n * cWRITE_MS_PER_BYTE + cWRITE_MS_EXTRA ms. At 9600
// baud 8N1 a byte takes 1.04 ms on the line; where a write completes only once the driver has
// passed the bytes on, a USB adapter waking from selective suspend needs a good deal more.
inline constexpr std::uint32_t cWRITE_MS_PER_BYTE = 2;
inline constexpr std::uint32_t cWRITE_MS_EXTRA = 500;

// Writes n bytes; gives up after the write time limit above with the count written so far.
bool writeComPort(ComPort hPort, const std::uint8_t* data, std::uint32_t n, std::uint32_t& written);
// Reads until n bytes have arrived or n + 200 ms have passed (a link wait, link_timing.h), with
// what has arrived.
bool readComPort(ComPort hPort, std::uint8_t* data, std::uint32_t n, std::uint32_t& received);

// An open port and its owner: the port is closed when the owner goes out of scope, whichever
// way its run ends.
class ComPortHandle {
public:
    ComPortHandle() = default;
    explicit ComPortHandle(ComPort hPort) : hPort_(hPort) {}
    ~ComPortHandle() { close(); }
    ComPortHandle(ComPortHandle&& other) noexcept : hPort_(other.release()) {}
    ComPortHandle& operator=(ComPortHandle&& other) noexcept {
        if (this != &other) {
            close();
            hPort_ = other.release();
        }
        return *this;
    }
    ComPortHandle(const ComPortHandle&) = delete;
    ComPortHandle& operator=(const ComPortHandle&) = delete;

    ComPort get() const { return hPort_; }
    bool isOpen() const { return hPort_ != cINVALID_PORT; }
    void close() {
        if (hPort_ != cINVALID_PORT) {
            closeComPort(hPort_);
            hPort_ = cINVALID_PORT;
        }
    }

private:
    ComPort release() {
        const ComPort hPort = hPort_;
        hPort_ = cINVALID_PORT;
        return hPort;
    }

    ComPort hPort_ = cINVALID_PORT;
};

}  // namespace pelion
