// Test support: the logger of the demo, the one most tests update.
#pragma once

#include "sim/simulated_logger.h"

namespace pelion::test {

// Application 6.01 on platform 24, print 49, BL3 3.0, with the update-ID block: image 11 fits it.
inline sim::LoggerConfig loggerOfImage11() {
    sim::LoggerConfig config;
    config.appVersion = 0x0601;
    return config;
}

}  // namespace pelion::test
