#include "update/pelion_comm_thread.h"

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "link/eorvo.h"
#include "link/hex_record.h"
#include "link/link_timing.h"

namespace pelion {

namespace {

using std::chrono::milliseconds;

// The logger's own timing: it needs a moment to start its bootloader after the jump, to
// settle before the end of programming and to boot the new firmware after it.
constexpr milliseconds cAFTER_JUMP{1};
constexpr milliseconds cBEFORE_END{500};
constexpr milliseconds cAFTER_END{2000};

constexpr std::uint16_t cVECTOR_TABLE_ADDRESS = 0x03DF;
constexpr std::uint8_t cDATA_RECORD_BYTES = 0x40;
constexpr std::uint8_t cDATA_RECORD_TYPE = 0;
const std::string cEND_OF_FILE_LINE = ":00000001FF";

void pause(milliseconds ms) {
    std::this_thread::sleep_for(linkWait(ms));
}

UpdateContext& updateContextOf(const RunContextPtr& run) {
    auto* update = dynamic_cast<UpdateContext*>(run.get());
    if (!update) {
        throw std::invalid_argument("an update run needs an update context");
    }
    return *update;
}

}  // namespace

TPelionCommThread::TPelionCommThread(RunContextPtr run, TCmd cmd, std::string sPort)
    : TBootloaderCommands(run, cmd, std::move(sPort)), FUpdate(updateContextOf(run)) {}

void TPelionCommThread::runCommand() {
    // Every run this updater starts is an update (tCMD0).
    runUpdate();
}

void TPelionCommThread::runUpdate() {
    LoggerIdentity logger;
    const IdentityAnswer bootloader = identify(logger);
    readBootloaderIdentity(bootloader.cls, logger);
    recoverInterruptedUpdate(logger);
    const TBl3FileHeader image = chooseImage(logger);
    if (FUpdate.options.bReadInfoOnly) {
        throw EOrvo(cEX_INFO_ONLY);
    }
    program(bootloader.cls, logger);
    checkBootedClass(image);
}

IdentityAnswer TPelionCommThread::identify(LoggerIdentity& logger) {
    for (int attempt = 1;; ++attempt) {
        const IdentityAnswer answer = queryIdentity();
        post(cNT_CLASS, answer.cls);
        post(cNT_VERSION, answer.version);
        if (isBootloaderClass(answer.cls)) {
            logger.blClass = answer.cls;
            logger.blVersion = answer.version;
            if (attempt == 1) {
                // A repeat of the run that jumped: what that run read still holds.
                const ApplicationFacts facts = FUpdate.facts->remembered();
                logger.appVersion = facts.appVersion;
                logger.serialNumber = facts.serialNumber;
            }
            return answer;
        }
        // After the jump only a bootloader may answer; before it, only the application unless
        // the logger check is off.
        if ((FUpdate.options.bCheckLogger && answer.cls != cCLASS_APPLICATION) || attempt != 1) {
            throw EOrvo(cEX_NO_UPDATE);
        }
        if (answer.cls == cCLASS_APPLICATION) {
            logger.appVersion = answer.version;
            logger.serialNumber = querySerialNumber();
            FUpdate.facts->remember({logger.appVersion, logger.serialNumber});
        }
        jumpToBootloader(answer.version);
        pause(cAFTER_JUMP);
    }
}

void TPelionCommThread::readBootloaderIdentity(std::uint16_t blClass, LoggerIdentity& logger) {
    PlatformAnswer platform{0, 0, 0};
    UpdateIdBlock block;
    if (blClass == cCLASS_BL) {
        // The oldest bootloader knows neither query; its loggers are all of the same kind.
        logger.updateClass = cCLASS_APPLICATION;
    } else {
        const auto answer = queryPlatform();
        if (!answer) {
            throw EOrvo(cEX_INVALID_ANSWER);
        }
        platform = *answer;
        if (platform.platform != 0xFFFF) {
            const auto upid = queryUpdateId(blClass, platform.platform);
            if (!upid) {
                throw EOrvo(cEX_INVALID_ANSWER);
            }
            block = *upid;
            logger.updateClass = block.upid_id;
            logger.updateInfo = block.upid_info;
        }
    }
    logger.platform = platform.platform;
    logger.print = platform.print;
    post(cNT_PLATFORM, logger.platform);
    post(cNT_PRINT, logger.print);
    post(cNT_INFO, platform.info);
    post(cNT_UPDATE_CLASS, logger.updateClass);
    post(cNT_UPDATE_INFO, block.upid_info);
    if (isValid(block)) {
        logger.platform = block.upid_platform;
        logger.print = block.upid_print;
        post(cNT_PLATFORM, logger.platform);
        post(cNT_PRINT, logger.print);
    }
}

// A logger that restarted in its bootloader in the middle of an update cannot tell its serial
// number; the history may still know it.
void TPelionCommThread::recoverInterruptedUpdate(LoggerIdentity& logger) {
    if (!FUpdate.journal || logger.appVersion != 0) {
        return;
    }
    const std::optional<ApplicationFacts> recorded = FUpdate.journal->interruptedUpdate(logger);
    if (!recorded) {
        return;
    }
    LoggerIdentity recordedLogger = logger;
    recordedLogger.appVersion = recorded->appVersion;
    recordedLogger.serialNumber = recorded->serialNumber;
    const int with = firstFittingImage(recordedLogger);
    const int without = firstFittingImage(logger);
    if (FUpdate.journal->useRecordedFacts(with != without, with, without)) {
        logger = recordedLogger;
        FUpdate.facts->remember(*recorded);
    }
}

int TPelionCommThread::firstFittingImage(const LoggerIdentity& logger) const {
    const bool fileLoaded = FUpdate.ChosenImage.load() == 0;
    const int last = fileLoaded ? 0 : getFirmwareCount();
    for (int i = fileLoaded ? 0 : 1; i <= last; ++i) {
        if (imageFits(FUpdate.firmwareHeader(i), logger, FUpdate.options)) {
            return i;
        }
    }
    return -1;
}

TBl3FileHeader TPelionCommThread::chooseImage(const LoggerIdentity& logger) {
    // Image 0 is the firmware file the user loaded for this run; it is the only candidate then.
    const bool fileLoaded = FUpdate.ChosenImage.load() == 0;
    const int first = fileLoaded ? 0 : 1;
    const int last = fileLoaded ? 0 : getFirmwareCount();
    FUpdate.ChosenImage.store(-1);
    for (int i = first; i <= last; ++i) {
        post(cNT_CHECK_IMAGE, i);
        const TBl3FileHeader header = FUpdate.firmwareHeader(i);
        if (imageFits(header, logger, FUpdate.options)) {
            FUpdate.ChosenImage.store(i);
            return header;
        }
    }
    throw EOrvo(cEX_UPDATE_ID);
}

void TPelionCommThread::program(std::uint16_t blClass, const LoggerIdentity& logger) {
    const int lastLine = FUpdate.chosenLastLine();
    if (lastLine < 1 || FUpdate.chosenLine(lastLine) != cEND_OF_FILE_LINE) {
        throw EOrvo(cEX_LAST_LINE);
    }
    if (FUpdate.journal) {
        FUpdate.journal->programmingStarts(logger, FUpdate.ChosenImage.load());
    }
    post(cNT_UPDATE_START, FCmd);
    startProgramming(blClass);

    // The vector table goes last: until it is written the logger keeps starting its
    // bootloader, so an interrupted run leaves it ready for the next attempt.
    std::string vectorTable;
    for (int n = 0; n < lastLine; ++n) {
        const std::string line = FUpdate.chosenLine(n);
        sHexLine = line;
        if (!lineToRecord()) {
            post(cNT_CONV_ERROR_LINE, n);
            throw EOrvo(cEX_CONVERSION);
        }
        const bool dataRecord =
            HexRecord[0] == cDATA_RECORD_BYTES && HexRecord[3] == cDATA_RECORD_TYPE;
        if (dataRecord && bytesToWord(HexRecord[1], HexRecord[2]) == cVECTOR_TABLE_ADDRESS) {
            vectorTable = line;
            post(cNT_VECTOR_TABLE, 0);
            continue;
        }
        if (dataRecord && !programLine(line)) {
            post(cNT_PROG_ERROR_LINE, n);
            throw EOrvo(cEX_PROG_REPEAT);
        }
        if (dataRecord) {
            ++FUpdate.linesSent;
        }
        setProgress(n, lastLine);
    }
    if (!vectorTable.empty()) {
        post(cNT_VECTOR_TABLE, 1);
        if (!programLine(vectorTable)) {
            post(cNT_PROG_ERROR_LINE, lastLine);
            throw EOrvo(cEX_PROG_REPEAT);
        }
        ++FUpdate.linesSent;
    }

    pause(cBEFORE_END);
    endProgramming(blClass);
    pause(cAFTER_END);
}

void TPelionCommThread::checkBootedClass(const TBl3FileHeader& image) {
    const IdentityAnswer answer = queryIdentity();
    post(cNT_CLASS, answer.cls);
    if (answer.cls != image.orvo_class) {
        throw EOrvo(cEX_UPDATE_FAILED);
    }
}

}  // namespace pelion
