// pelion-update on several ports at once (or on one, with --json): one run per port, all
// concurrent, each report line prefixed with its port, and a summary table at the end.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/history_choice.h"

namespace pelion::cli {

struct SeveralPortsRun {
    std::vector<std::string> ports;
    std::optional<std::string> file;  // the firmware file every logger is programmed with
    std::optional<int> maxRepeats;
    bool readInfoOnly = false;
    // The events as JSON lines on standard output, the report lines on standard error, no
    // table.
    bool json = false;
    HistoryChoice history;
};

// 0 when every logger was updated, else the exit status of the first port (in the order
// given) whose run did not succeed.
int runSeveralPorts(const SeveralPortsRun& request);

}  // namespace pelion::cli
