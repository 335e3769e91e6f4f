#include "link/port_details.h"

#include "link/serial_port.h"

namespace pelion {

ComPortDetails namedPort(const std::string& name) {
    ComPortDetails details;
    details.name = name;
    details.devicePath = comPortPath(name);
    return details;
}

ComPortDetails getComPortDetails(const std::string& name) {
    const std::string path = comPortPath(name);
    for (ComPortDetails& port : getComPortDetails()) {
        if (port.name == name || port.devicePath == path) {
            return port;
        }
    }
    return namedPort(name);
}

}  // namespace pelion
