#include "link/port_details.h"

#include "link/serial_port.h"

namespace pelion {

ComPortDetails namedPort(const std::string& name) {
    ComPortDetails details;
    details.name = name;
    details.devicePath = comPortPath(name);
    return details;
}

}  // namespace pelion
