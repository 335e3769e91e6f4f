// The command line of pelion-sim: one option per setting of the simulated logger and per fault.
#pragma once

#include <string>

#include "sim/simulated_logger.h"

namespace pelion::sim {

struct SimSettings {
    LoggerConfig config;
    int muteFrames = 0;
    int corruptAnswers = 0;
    int shortAnswers = 0;
    int garbledAnswers = 0;
    bool notReady = false;
    int wrongEchoAt = -1;
    int powerCutAt = -1;
    bool powerCutAtJump = false;
    std::string expectImage;  // firmware file whose records the flash should hold at the end
    bool stdinStop = false;
    bool help = false;
};

// False, with a message for the user in `error`, when an argument is not understood.
bool parseOptions(int argc, const char* const* argv, SimSettings& settings, std::string& error);

// The --help text.
std::string usageText();

// Switches the faults of `settings` on in `logger`.
void applyFaults(const SimSettings& settings, SimulatedLogger& logger);

}  // namespace pelion::sim
