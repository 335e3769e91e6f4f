// Simulated devices for the udev side of the port list: a test bed of umockdev in which USB
// serial adapters and other ttys come and go, with the uevents that a real plug-in sends.
//
// umockdev works by preloading its library; a test program hands its main() to
// runUnderMockDevices, which starts the program again under the preload when it is not yet.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace pelion::test {

// Runs the test program's tests in a umockdev environment.
int runUnderMockDevices(int argc, char** argv);

struct UsbAdapter {
    std::string tty;  // "ttyUSB0"
    std::string vendorId;
    std::string productId;
    std::string manufacturer;
    std::string product;
    std::string serial;
    // The latency_timer attribute of the usb-serial port between the USB device and the tty,
    // as ftdi_sio keeps it ("16\n"); none: the driver keeps no timer.
    std::optional<std::string> latencyTimer = std::nullopt;
    bool modemManagerIgnores = false;  // udev marks the tty ID_MM_DEVICE_IGNORE=1
};

class MockDevices {
public:
    MockDevices();
    ~MockDevices();
    MockDevices(const MockDevices&) = delete;
    MockDevices& operator=(const MockDevices&) = delete;

    // A USB device with a tty below it; announced as plugged in. Returns the tty's sys path.
    std::string plugIn(const UsbAdapter& adapter);
    // A tty that hangs off no USB device (a built-in serial port); announced as well.
    std::string addPlainTty(const std::string& tty);
    // The tty (and its USB device) announced as gone, and gone.
    void pullOut(const std::string& ttySysPath);

private:
    struct Bed;
    std::unique_ptr<Bed> bed_;
};

}  // namespace pelion::test
