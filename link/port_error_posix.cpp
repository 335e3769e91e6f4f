// What errno means for a serial port on POSIX.
#include <cerrno>
#include <cstring>

#include "link/port_error.h"

namespace pelion {

namespace {

// EBUSY: the tty is held exclusively (TIOCEXCL) by someone else; EWOULDBLOCK: its lock is taken.
constexpr ErrorMeaning<int> cOPEN_MEANINGS[] = {
    {EACCES, PortFailure::notPermitted},       {EPERM, PortFailure::notPermitted},
    {EROFS, PortFailure::notPermitted},        {EBUSY, PortFailure::heldElsewhere},
    {EWOULDBLOCK, PortFailure::heldElsewhere}, {ENOENT, PortFailure::noSuchDevice},
    {ENXIO, PortFailure::noSuchDevice},        {ENODEV, PortFailure::noSuchDevice},
    {ENOTDIR, PortFailure::noSuchDevice},
};

// A USB serial adapter pulled out, or the far end of a pseudo-terminal closed, fails every
// read and write with one of these.
constexpr ErrorMeaning<int> cIO_MEANINGS[] = {
    {EIO, PortFailure::deviceGone},
    {ENXIO, PortFailure::deviceGone},
    {ENODEV, PortFailure::deviceGone},
    {EBADF, PortFailure::deviceGone},
};

}  // namespace

PortFailure openFailure(int osCode) {
    return meaningOf(cOPEN_MEANINGS, osCode);
}

PortFailure ioFailure(int osCode) {
    return meaningOf(cIO_MEANINGS, osCode);
}

std::string osErrorText(int osCode) {
    return std::strerror(osCode);
}

}  // namespace pelion
