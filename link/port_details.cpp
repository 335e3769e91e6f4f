#include "link/port_details.h"

namespace pelion {

ComPortDetails namedPort(const std::string& name, const std::string& devicePath) {
    ComPortDetails details;
    details.name = name;
    details.devicePath = devicePath;
    return details;
}

}  // namespace pelion
