// Windows tells no ordinary program which process holds a COM port, and no service there is
// known to take USB serial adapters away; the port's owner shows as "held by another program".
#include "cli/port_services.h"

namespace pelion::cli {

std::vector<std::string> programsHolding(const std::string&, const SystemPlaces&) {
    return {};
}

std::string deviceGroup(const std::string&) {
    return "";
}

std::vector<ServiceFinding> servicesClaiming(const ComPortDetails&, const SystemPlaces&) {
    return {};
}

}  // namespace pelion::cli
