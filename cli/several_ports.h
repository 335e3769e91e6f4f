// pelion-update on several ports at once: one run per port, all concurrent, each report line
// prefixed with its port, and a summary table at the end.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pelion::cli {

struct SeveralPortsRun {
    std::vector<std::string> ports;
    std::optional<std::string> file;  // the firmware file every logger is programmed with
    std::optional<int> maxRepeats;
    bool readInfoOnly = false;
};

// 0 when every logger was updated, else the exit status of the first port (in the order
// given) whose run did not succeed.
int runSeveralPorts(const SeveralPortsRun& request);

}  // namespace pelion::cli
