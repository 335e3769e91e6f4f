#include "app/port_failure_text.h"

#include "link/port_error.h"

namespace pelion {

namespace {

struct FailureWords {
    PortFailure failure;
    const char* what;  // what happened, before the OS text
    const char* todo;  // what the user can do
};

constexpr FailureWords cWORDS[] = {
    {PortFailure::notPermitted, "Not permitted to open the port",
     "Join the group that may use serial ports: sudo usermod -aG dialout $USER, then log out "
     "and in again."},
    {PortFailure::heldElsewhere, "The port is held by another program",
     "Close the program that uses it (a terminal program, another updater) and try again."},
    {PortFailure::noSuchDevice, "No such device",
     "Check the port name and that the logger's USB cable is plugged in."},
    {PortFailure::deviceGone, "The device went away during the run",
     "Check the USB cable, attach the logger again and restart the update."},
    {PortFailure::notATerminal, "This is not a serial port",
     "Check the port name: it must name the serial port the logger is attached to."},
    {PortFailure::ownTerminal, "This is the terminal the updater runs in, not a logger's port",
     "Check the port name: it must name the serial port the logger is attached to."},
    {PortFailure::other, "The operating system refused the port",
     "Check the port name and try again."},
};

const FailureWords& wordsFor(PortFailure failure) {
    for (const auto& words : cWORDS) {
        if (words.failure == failure) {
            return words;
        }
    }
    return cWORDS[std::size(cWORDS) - 1];
}

}  // namespace

std::string portFailureText(std::int32_t packed) {
    const PortError error = unpackPortError(packed);
    const FailureWords& words = wordsFor(error.failure);
    std::string text = words.what;
    if (error.osCode != 0) {
        text += " (" + osErrorText(error.osCode) + ")";
    }
    return text + ". " + words.todo;
}

}  // namespace pelion
