// The image choice: which firmware image fits the logger that was identified.
#pragma once

#include <cstdint>

#include "firmware/catalogue.h"
#include "update/options.h"

namespace pelion {

// What identification and the bootloader identity found out about the logger.
struct LoggerIdentity {
    std::uint16_t updateClass = 0xFFFF;  // the class the logger is to be updated as
    std::uint16_t platform = 0xFFFF;
    std::uint16_t print = 0xFFFF;
    std::uint16_t blClass = 0;       // class of the bootloader's identity answer
    std::uint16_t blVersion = 0;     // version word of the bootloader's identity answer
    std::uint16_t updateInfo = 0;    // upid_info of the update-ID block, 0 without one
    std::uint16_t appVersion = 0;    // 0 unless the logger was found in its application
    std::uint32_t serialNumber = 0;  // 0 unless the logger was found in its application
};

// Loggers whose 5.136 firmware must never be replaced by another version.
bool isPinnedSN(std::uint32_t serialNumber);

// True when an image with this header may be programmed into the logger. Of the options, reads
// bCheckClass and bCheckPlatform.
bool imageFits(const TBl3FileHeader& header, const LoggerIdentity& logger,
               const UpdateOptions& options);

}  // namespace pelion
