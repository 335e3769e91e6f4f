#include "reliability/logger_setups.h"

#include "firmware/catalogue.h"
#include "link/hex_record.h"
#include "update/image_choice.h"

namespace pelion::reliability {

namespace {

constexpr std::uint32_t cORDINARY_SERIAL = 327980;
constexpr std::uint32_t cPINNED_SERIAL = 328300;
constexpr std::uint16_t cPINNED_VERSION = 0x0588;

// The first embedded image that fits, as the updater walks the catalogue with every check on.
int firstFitting(const LoggerIdentity& identity) {
    for (int i = 1; i <= getFirmwareCount(); ++i) {
        if (imageFits(getFirmwareHeader(i), identity, UpdateOptions{})) {
            return i;
        }
    }
    return -1;
}

// A logger that runs the image's own firmware version. Platform 0 is the oldest bootloader's
// (BL), which knows no platform query; the others carry an update-ID block naming the image's
// class, platform and print.
LoggerSetup setupFor(int image) {
    const TBl3FileHeader h = getFirmwareHeader(image);
    sim::LoggerConfig c;
    c.appVersion = static_cast<std::uint16_t>(h.orvo_verH << 8 | h.orvo_verL);
    c.serialNumber = c.appVersion == cPINNED_VERSION ? cPINNED_SERIAL : cORDINARY_SERIAL;
    c.blClass = h.orvo_platform == 0 ? 0xC800 : (h.orvo_bl == 3 ? 0xC802 : 0xC801);
    c.blVersion = h.orvo_bl_ver;
    c.platform = c.upidPlatform = h.orvo_platform;
    c.print = c.upidPrint = h.orvo_print;
    c.upidId = c.bootedClass = h.orvo_class;

    LoggerIdentity inBootloader;
    inBootloader.updateClass = h.orvo_class;
    inBootloader.platform = h.orvo_platform;
    inBootloader.print = h.orvo_print;
    inBootloader.blVersion = h.orvo_bl_ver;
    return {image, c, firstFitting(inBootloader)};
}

}  // namespace

const std::vector<LoggerSetup>& loggerSetups() {
    static const std::vector<LoggerSetup> setups = [] {
        std::vector<LoggerSetup> all;
        for (int i = 1; i <= getFirmwareCount(); ++i) {
            all.push_back(setupFor(i));
        }
        return all;
    }();
    return setups;
}

int dataLineCount(int image) {
    int count = 0;
    for (const std::string& line : getFirmwareLines(image)) {
        sHexLine = line;
        count += lineToRecord() && HexRecord[0] == 0x40 && HexRecord[3] == 0;
    }
    return count;
}

}  // namespace pelion::reliability
