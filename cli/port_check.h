// pelion-update --check: what stands between each port and an update, found before one starts.
// Each port gets one line per finding, each with what to do, and a verdict; nothing is sent
// that changes the logger (no jump, no programming).
#pragma once

#include <string>
#include <vector>

namespace pelion::cli {

// The exit status of a check whose logger answers but where a system service may take the
// adapter away during an update. A port that does not open gives 10, as an update would; a
// port where no logger answers, 30.
inline constexpr int cEXIT_CHECK_AT_RISK = 3;

enum class Weight {
    ok,
    advice,   // costs the update time, or the user may want to know
    problem,  // stops or endangers an update
};

struct CheckFinding {
    const char* topic;  // "port", "latency", "ModemManager", "brltty", "logger", "image"
    Weight weight;
    std::string text;
};

struct PortCheck {
    std::string port;
    std::vector<CheckFinding> findings;
    int status = 0;
    std::string verdict;
};

PortCheck checkPort(const std::string& port);

// Checks the ports one after the other and writes the findings, as lines for people or as JSON
// lines; the status of the first port, in the order given, that is not ready.
int runCheck(const std::vector<std::string>& ports, bool json);

}  // namespace pelion::cli
