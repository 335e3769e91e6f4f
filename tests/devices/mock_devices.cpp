#include "tests/devices/mock_devices.h"

#include <gtest/gtest.h>
#include <umockdev.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace pelion::test {

namespace {

constexpr const char* cPRELOAD = "libumockdev-preload.so.0";

// The AddressSanitizer runtime refuses to start unless it comes first among the libraries
// loaded, and umockdev's preloaded library comes before it. Only that check is turned off: the
// runtime works where it is loaded, as the sanitizer build of these tests shows.
void allowSecondPreload() {
#if defined(__SANITIZE_ADDRESS__)
    const char* options = std::getenv("ASAN_OPTIONS");
    std::string all = options ? std::string(options) + ":" : "";
    setenv("ASAN_OPTIONS", (all + "verify_asan_link_order=0").c_str(), 1);
#endif
}

bool preloaded() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload") != nullptr;
}

void startAgainUnderPreload(char** argv) {
    const char* earlier = std::getenv("LD_PRELOAD");
    std::string preload = cPRELOAD;
    if (earlier && *earlier) {
        preload += std::string(":") + earlier;
    }
    setenv("LD_PRELOAD", preload.c_str(), 1);
    allowSecondPreload();
    execv("/proc/self/exe", argv);
}

}  // namespace

int runUnderMockDevices(int argc, char** argv) {
    if (!preloaded()) {
        startAgainUnderPreload(argv);
        std::fprintf(stderr, "cannot start the tests again under %s: %s\n", cPRELOAD,
                     std::strerror(errno));
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

struct MockDevices::Bed {
    UMockdevTestbed* testbed = umockdev_testbed_new();
    std::map<std::string, std::string> usbOfTty;  // tty sys path -> its USB device's

    ~Bed() { g_object_unref(testbed); }
};

MockDevices::MockDevices() : bed_(std::make_unique<Bed>()) {}

MockDevices::~MockDevices() = default;

std::string MockDevices::plugIn(const UsbAdapter& a) {
    const std::string usbName = "usb-" + a.tty;
    gchar* usb = umockdev_testbed_add_device(
        bed_->testbed, "usb", usbName.c_str(), nullptr,
        // attributes
        "idVendor", a.vendorId.c_str(), "idProduct", a.productId.c_str(), "manufacturer",
        a.manufacturer.c_str(), "product", a.product.c_str(), "serial", a.serial.c_str(), nullptr,
        // properties
        "DEVTYPE", "usb_device", nullptr);
    gchar* port = a.latencyTimer ? umockdev_testbed_add_device(
                                       bed_->testbed, "usb-serial", a.tty.c_str(), usb,
                                       "latency_timer", a.latencyTimer->c_str(), nullptr, nullptr)
                                 : nullptr;
    const std::string devName = "/dev/" + a.tty;
    gchar* tty = umockdev_testbed_add_device(
        bed_->testbed, "tty", a.tty.c_str(), port ? port : usb, "dev", "188:0", nullptr, "DEVNAME",
        devName.c_str(), "ID_MM_DEVICE_IGNORE", a.modemManagerIgnores ? "1" : "0", nullptr);
    g_free(port);
    const std::string ttyPath = tty;
    bed_->usbOfTty[ttyPath] = usb;
    g_free(usb);
    g_free(tty);
    umockdev_testbed_uevent(bed_->testbed, ttyPath.c_str(), "add");
    return ttyPath;
}

std::string MockDevices::addPlainTty(const std::string& name) {
    const std::string devName = "/dev/" + name;
    gchar* tty = umockdev_testbed_add_device(bed_->testbed, "tty", name.c_str(), nullptr, "dev",
                                             "4:64", nullptr, "DEVNAME", devName.c_str(), nullptr);
    const std::string ttyPath = tty;
    g_free(tty);
    umockdev_testbed_uevent(bed_->testbed, ttyPath.c_str(), "add");
    return ttyPath;
}

void MockDevices::pullOut(const std::string& ttySysPath) {
    umockdev_testbed_uevent(bed_->testbed, ttySysPath.c_str(), "remove");
    umockdev_testbed_remove_device(bed_->testbed, ttySysPath.c_str());
    const auto usb = bed_->usbOfTty.find(ttySysPath);
    if (usb != bed_->usbOfTty.end()) {
        umockdev_testbed_remove_device(bed_->testbed, usb->second.c_str());
        bed_->usbOfTty.erase(usb);
    }
}

}  // namespace pelion::test
