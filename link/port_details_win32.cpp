// Port details on Windows: the serial device map names the ports and nothing more, so each
// port carries its name and device path only.
#include "link/port_details.h"
#include "link/port_list.h"

namespace pelion {

std::vector<ComPortDetails> getComPortDetails() {
    std::vector<std::string> names;
    getComPortList(names);
    std::vector<ComPortDetails> details;
    for (const std::string& name : names) {
        details.push_back(namedPort(name));
    }
    return details;
}

}  // namespace pelion
