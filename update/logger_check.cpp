#include "update/logger_check.h"

#include <stdexcept>

#include "firmware/catalogue.h"
#include "link/eorvo.h"

namespace pelion {

namespace {

CheckContext& checkContextOf(const RunContextPtr& run) {
    auto* check = dynamic_cast<CheckContext*>(run.get());
    if (!check) {
        throw std::invalid_argument("a logger check needs a check context");
    }
    return *check;
}

int fittingImage(const LoggerIdentity& logger, const UpdateOptions& options) {
    for (int i = 1; i <= getFirmwareCount(); ++i) {
        if (imageFits(getFirmwareHeader(i), logger, options)) {
            return i;
        }
    }
    return -1;
}

}  // namespace

TLoggerCheck::TLoggerCheck(RunContextPtr run, std::string sPort)
    : TBootloaderCommands(run, tCMD_TEST, std::move(sPort)), FCheck(checkContextOf(run)) {}

void TLoggerCheck::runCommand() {
    const IdentityAnswer answer = queryIdentity();
    FCheck.findings.identity = answer;
    post(cNT_CLASS, answer.cls);
    post(cNT_VERSION, answer.version);
    if (answer.cls == cCLASS_APPLICATION) {
        FCheck.findings.serialNumber = querySerialNumber();
    } else if (isBootloaderClass(answer.cls)) {
        readBootloader(answer.cls);
    }
}

// The bootloader identity as an update reads it; a logger whose answers do not decode is left
// without an image, as an update would stop there.
void TLoggerCheck::readBootloader(std::uint16_t blClass) {
    LoggerIdentity logger;
    logger.blVersion = FCheck.findings.identity->version;
    if (blClass == cCLASS_BL) {
        logger.platform = 0;
        logger.print = 0;
        logger.updateClass = cCLASS_APPLICATION;
    } else {
        const auto platform = queryPlatform();
        if (!platform) {
            return;
        }
        logger.platform = platform->platform;
        logger.print = platform->print;
        if (platform->platform != 0xFFFF) {
            const auto block = queryUpdateId(blClass, platform->platform);
            if (!block) {
                return;
            }
            logger.updateClass = block->upid_id;
            if (isValid(*block)) {
                logger.platform = block->upid_platform;
                logger.print = block->upid_print;
            }
        }
    }
    FCheck.findings.bootloader = logger;
    FCheck.findings.image = fittingImage(logger, FCheck.options);
}

}  // namespace pelion
