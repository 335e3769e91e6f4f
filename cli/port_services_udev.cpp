// Linux: the processes that hold a port, read from /proc; the device's group; ModemManager,
// which probes every new serial port unless udev tells it to ignore the device
// (ID_MM_DEVICE_IGNORE), and brltty, whose udev rules claim the USB IDs of some common serial
// adapters for braille displays.
#include <grp.h>
#include <libudev.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include "cli/port_services.h"

namespace pelion::cli {

namespace {

namespace fs = std::filesystem;

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

bool isProcessId(const std::string& name) {
    return !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
}

bool holds(const fs::path& process, const std::string& devicePath) {
    std::error_code error;
    for (const auto& fd : fs::directory_iterator(process / "fd", error)) {
        if (fs::read_symlink(fd.path(), error) == devicePath) {
            return true;
        }
    }
    return false;
}

// The command names of the running processes, with their IDs.
std::vector<std::pair<std::string, std::string>> processes(const SystemPlaces& places) {
    std::vector<std::pair<std::string, std::string>> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(places.proc, error)) {
        const std::string id = entry.path().filename().string();
        if (isProcessId(id)) {
            found.emplace_back(id, firstLine(entry.path() / "comm"));
        }
    }
    return found;
}

bool isRunning(const char* command, const SystemPlaces& places) {
    for (const auto& [id, name] : processes(places)) {
        if (name == command) {
            return true;
        }
    }
    return false;
}

std::string udevProperty(const std::string& devicePath, const char* name) {
    struct Deleter {
        void operator()(udev* u) const { udev_unref(u); }
        void operator()(udev_device* d) const { udev_device_unref(d); }
    };
    std::unique_ptr<udev, Deleter> context(udev_new());
    if (!context) {
        return "";
    }
    const std::string sysName = devicePath.substr(devicePath.rfind('/') + 1);
    std::unique_ptr<udev_device, Deleter> tty(
        udev_device_new_from_subsystem_sysname(context.get(), "tty", sysName.c_str()));
    const char* value = tty ? udev_device_get_property_value(tty.get(), name) : nullptr;
    return value ? value : "";
}

std::string withoutLeadingZeros(const std::string& hex) {
    const auto first = hex.find_first_not_of('0');
    return first == std::string::npos ? "0" : hex.substr(first);
}

// A rule line that matches the adapter's USB IDs, in either form brltty's rules use.
bool claims(const std::string& line, const ComPortDetails& port) {
    const std::string product = "ENV{PRODUCT}==\"" + withoutLeadingZeros(port.vendorId) + "/" +
                                withoutLeadingZeros(port.productId) + "/";
    const std::string vendor = "ATTRS{idVendor}==\"" + port.vendorId + "\"";
    const std::string device = "ATTRS{idProduct}==\"" + port.productId + "\"";
    return line.find(product) != std::string::npos ||
           (line.find(vendor) != std::string::npos && line.find(device) != std::string::npos);
}

bool fileClaims(const fs::path& rules, const ComPortDetails& port) {
    std::ifstream in(rules);
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with('#') && claims(line, port)) {
            return true;
        }
    }
    return false;
}

// brltty's rules files as udev reads them: a name in an earlier folder hides the same name in
// a later one (a link to /dev/null, which holds no rule, masks it so).
std::vector<fs::path> brlttyRules(const SystemPlaces& places) {
    std::set<std::string> seen;
    std::vector<fs::path> rules;
    for (const std::string& folder : places.udevRules) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (!name.ends_with(".rules") || !seen.insert(name).second) {
                continue;
            }
            if (name.find("brltty") != std::string::npos) {
                rules.push_back(entry.path());
            }
        }
    }
    return rules;
}

std::string usbId(const ComPortDetails& port) {
    return port.vendorId + ":" + port.productId;
}

std::optional<ServiceFinding> modemManager(const ComPortDetails& port, const SystemPlaces& places) {
    if (!isRunning("ModemManager", places) ||
        udevProperty(port.devicePath, "ID_MM_DEVICE_IGNORE") == "1") {
        return std::nullopt;
    }
    std::string rule = "ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
    if (!port.vendorId.empty()) {
        rule = "ATTRS{idVendor}==\"" + port.vendorId + "\", ATTRS{idProduct}==\"" + port.productId +
               "\", " + rule;
    }
    return ServiceFinding{
        "ModemManager",
        "ModemManager is running and may probe the port during an update, which breaks the "
        "transfer. Tell it to leave the adapter alone: put the line '" +
            rule +
            "' into /etc/udev/rules.d/99-pelion-logger.rules, run sudo udevadm control --reload "
            "and plug the adapter in again (or stop it: sudo systemctl stop ModemManager)."};
}

std::optional<ServiceFinding> brltty(const ComPortDetails& port, const SystemPlaces& places) {
    if (port.vendorId.empty()) {
        return std::nullopt;
    }
    for (const fs::path& rules : brlttyRules(places)) {
        if (fileClaims(rules, port)) {
            return ServiceFinding{
                "brltty",
                "The rules of brltty (" + rules.string() + ") claim adapters with the USB ID " +
                    usbId(port) +
                    " for braille displays and can take the port away during an update. Without "
                    "a braille display remove it (sudo apt remove brltty), or mask its rules: "
                    "sudo ln -s /dev/null /etc/udev/rules.d/" +
                    rules.filename().string() + ", then plug the adapter in again."};
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::string> programsHolding(const std::string& devicePath,
                                         const SystemPlaces& places) {
    std::vector<std::string> programs;
    const std::string self = std::to_string(getpid());
    for (const auto& [id, name] : processes(places)) {
        if (id != self && holds(fs::path(places.proc) / id, devicePath)) {
            programs.push_back(name + " (process " + id + ")");
        }
    }
    return programs;
}

std::string deviceGroup(const std::string& devicePath) {
    struct stat status {};
    if (stat(devicePath.c_str(), &status) != 0) {
        return "";
    }
    const group* owner = getgrgid(status.st_gid);
    return owner ? owner->gr_name : "";
}

std::vector<ServiceFinding> servicesClaiming(const ComPortDetails& port,
                                             const SystemPlaces& places) {
    std::vector<ServiceFinding> found;
    for (auto finding : {modemManager(port, places), brltty(port, places)}) {
        if (finding) {
            found.push_back(*finding);
        }
    }
    return found;
}

}  // namespace pelion::cli
