// Why the port layer failed last: the operating system's own error code (errno on POSIX,
// GetLastError on Windows), captured where the call failed, and what it means for the user.
//
// The reason is kept per thread: the link thread opens, reads and writes the port and asks
// afterwards, so no other thread can overwrite it in between. A front end receives it packed
// into one notification value (packPortError) and turns it back with unpackPortError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelion {

enum class PortFailure : std::uint8_t {
    none = 0,
    notPermitted = 1,   // the user may not open the device
    heldElsewhere = 2,  // another program (or this one) holds the port
    noSuchDevice = 3,   // no device by that name
    deviceGone = 4,     // the device went away while it was open
    notATerminal = 5,   // the name is no terminal device (a file, a folder, a FIFO, /dev/null)
    ownTerminal = 6,    // the terminal this program runs in, not a logger's port
    other = 7,          // any other refusal; the OS text says what; stays the last
};

struct PortError {
    PortFailure failure = PortFailure::none;
    int osCode = 0;  // errno or GetLastError value; 0 when the layer found the cause itself

    bool operator==(const PortError&) const = default;
};

// The calling thread's last port failure.
PortError lastPortError();
void clearPortError();
// Records a failure of the calling thread; for the port layer.
void recordPortError(PortFailure failure, int osCode);

// One line of a platform's table of what its error codes mean.
template <class Code>
struct ErrorMeaning {
    Code code;
    PortFailure failure;
};

// What a table says of a code; `other` for a code it does not list.
template <class Code, std::size_t N>
PortFailure meaningOf(const ErrorMeaning<Code> (&table)[N], Code code) {
    for (const auto& entry : table) {
        if (entry.code == code) {
            return entry.failure;
        }
    }
    return PortFailure::other;
}

// What an OS error code means when opening a port, and when reading or writing an open one.
// Platform-specific.
PortFailure openFailure(int osCode);
PortFailure ioFailure(int osCode);
// The operating system's own text for an error code ("Permission denied"). Platform-specific.
std::string osErrorText(int osCode);

// One 32-bit notification value: the failure in the top byte, the OS code in the rest.
std::int32_t packPortError(const PortError& error);
PortError unpackPortError(std::int32_t value);

}  // namespace pelion
