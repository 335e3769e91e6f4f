#include "update/image_choice.h"

#include <algorithm>

namespace pelion {

namespace {

struct SerialRange {
    std::uint32_t first;
    std::uint32_t last;  // inclusive
};

constexpr SerialRange cPINNED_SERIALS[] = {
    {328108, 328108}, {328224, 328224}, {328235, 328236}, {328283, 328287}, {328297, 328504},
};

constexpr std::uint16_t cPINNED_VERSION = 0x0588;  // 5.136
constexpr std::uint16_t cPINNED_VER_H = 5;
constexpr std::uint16_t cPINNED_VER_L = 136;

}  // namespace

bool isPinnedSN(std::uint32_t serialNumber) {
    return std::any_of(
        std::begin(cPINNED_SERIALS), std::end(cPINNED_SERIALS),
        [&](const SerialRange& r) { return serialNumber >= r.first && serialNumber <= r.last; });
}

bool imageFits(const TBl3FileHeader& header, const LoggerIdentity& logger,
               const UpdateOptions& options) {
    const bool pinned = logger.appVersion == cPINNED_VERSION && isPinnedSN(logger.serialNumber);
    return (!options.bCheckClass || logger.updateClass == header.orvo_class) &&
           (!options.bCheckPlatform || logger.platform == header.orvo_platform) &&
           logger.print == header.orvo_print &&
           (!pinned || (header.orvo_verH == cPINNED_VER_H && header.orvo_verL == cPINNED_VER_L)) &&
           logger.blVersion == header.orvo_bl_ver && (header.orvo_bl == 2 || header.orvo_bl == 3);
}

}  // namespace pelion
