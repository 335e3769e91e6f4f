// One simulated logger per embedded image: the identity that makes the updater choose it.
#pragma once

#include <string>
#include <vector>

#include "sim/simulated_logger.h"

namespace pelion::reliability {

struct LoggerSetup {
    int image;                 // the embedded image the updater chooses for this logger
    sim::LoggerConfig config;  // starts in its application
    // The image a logger of this kind gets when the updater finds it in its bootloader, where
    // its application version and serial number cannot be read: differs from `image` only for
    // a logger whose serial number pins it to its firmware version.
    int imageFromBootloader;
};

// The setup of each embedded image, in image order (1 to 11).
const std::vector<LoggerSetup>& loggerSetups();

// The data records of an image that the updater sends (64-byte type-0 records).
int dataLineCount(int image);

}  // namespace pelion::reliability
