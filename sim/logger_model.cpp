#include "sim/logger_model.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "link/crc.h"
#include "sim/hex_text.h"

namespace pelion::sim {

namespace {

constexpr std::uint8_t cSTATUS_NOT_READY = 0x20;
constexpr std::uint8_t cCMD_QUERY = 1;
constexpr std::uint8_t cQUERY_IDENTITY = 0;
constexpr std::uint8_t cQUERY_SERIAL = 3;
constexpr std::uint16_t cNEW_JUMP_VERSION = 0x0600;
constexpr std::uint16_t cCLASS_BL = 0xC800;
constexpr std::uint16_t cCLASS_BL3 = 0xC802;
constexpr std::uint8_t cTYPE_DATA = 0;
constexpr std::uint8_t cTYPE_COMMAND = 5;

// The two ways of telling the application to start its bootloader; each application version
// understands one of them (frame bytes 1 to 4 after the command code).
struct JumpForm {
    std::uint8_t code;
    std::array<std::uint8_t, 4> params;
    bool forNewApplications;  // version word 0x0600 or above
};

constexpr JumpForm cJUMP_FORMS[] = {
    {5, {0x03, 0xA5, 0x5A, 0x00}, false},
    {2, {0x81, 0x00, 0xA5, 0x5A}, true},
};

enum class LineCommand { platform, updateId, start, end };

// Line command codes: BL has only its own programming codes, BL2 and BL3 share the rest.
struct LineCommandCode {
    std::uint8_t code;
    bool forBl;
    LineCommand command;
};

constexpr LineCommandCode cLINE_COMMANDS[] = {
    {0x20, false, LineCommand::platform}, {0x30, false, LineCommand::updateId},
    {0x11, true, LineCommand::start},     {0x31, false, LineCommand::start},
    {0x13, true, LineCommand::end},       {0x33, false, LineCommand::end},
};

// Where each platform keeps its update-ID block; every other platform keeps it at 0.
struct UpdateIdPlace {
    std::uint16_t platform;
    std::uint32_t address;
};

constexpr UpdateIdPlace cUPDATE_ID_PLACES[] = {
    {1, 0x1000},  {2, 0x1000},  {4, 0x1000},      {5, 0x1000},  {6, 0x1000},  {7, 0x1000},
    {9, 0x1000},  {10, 0x1000}, {0xFFFE, 0x1000}, {8, 0x1900},  {11, 0x1900}, {12, 0x1800},
    {13, 0x1800}, {14, 0x1800}, {15, 0x1800},     {16, 0x1800}, {17, 0x1800}, {20, 0x1800},
    {21, 0x1800}, {22, 0x1800}, {23, 0x1800},     {24, 0x1800},
};

std::uint8_t hi(std::uint16_t w) {
    return static_cast<std::uint8_t>(w >> 8);
}
std::uint8_t lo(std::uint16_t w) {
    return static_cast<std::uint8_t>(w);
}

Bytes lineBytes(const Record& record) {
    const std::string line = encodeRecord(record);
    return Bytes(line.begin(), line.end());
}

// Any other hex digit in the last place: still a record, but its checksum no longer holds.
void spoilLineChecksum(Bytes& line) {
    line.back() = line.back() == '0' ? '1' : '0';
}

// Line noise of the right length: lower-case letters, blanks, NUL and 0xFF. None is an
// upper-case hex digit, so a line answer can never pass its record sum; in a frame the
// checksum byte is noise as well.
void garble(Bytes& answer) {
    static constexpr std::uint8_t cNOISE[] = {'g', 'a', 0xFF, 0x00, ' ', 'z', 'f'};
    for (std::size_t k = 1; k < answer.size(); ++k) {
        answer[k] = cNOISE[k % sizeof cNOISE];
    }
}

}  // namespace

LoggerModel::LoggerModel(const LoggerConfig& config)
    : config_(config),
      mode_(config.startInBootloader ? Mode::bootloader : Mode::application),
      appClass_(config.appClass),
      appPresent_(!config.startInBootloader) {}

Bytes LoggerModel::answer(const Bytes& frame) {
    const bool isNullFrame = std::all_of(frame.begin(), frame.end(), [](auto b) { return b == 0; });
    if (frame.empty() || isNullFrame || mode_ == Mode::dead) {
        return {};
    }
    if (faults_.muteFrames > 0) {
        --faults_.muteFrames;
        return {};
    }
    const bool isLine = frame[0] == ':';
    return withAnswerFaults(isLine ? onLine(frame) : onCommand(frame), !isLine);
}

void LoggerModel::restart() {
    mode_ = appPresent_ ? Mode::application : Mode::bootloader;
    programming_ = false;
    dataLinesSinceStart_ = 0;
}

Bytes LoggerModel::onCommand(const Bytes& frame) {
    if (frame.size() != 8 || calcCRC8(frame.data(), 7) != frame[7]) {
        return {};
    }
    const std::uint8_t code = frame[0] & 0x7F;
    if (code == cCMD_QUERY && frame[1] == cQUERY_IDENTITY) {
        return identity();
    }
    if (mode_ != Mode::application) {
        return {};
    }
    if (code == cCMD_QUERY && frame[1] == cQUERY_SERIAL) {
        const std::uint32_t sn = config_.serialNumber;
        return answerFrame({static_cast<std::uint8_t>(sn), static_cast<std::uint8_t>(sn >> 8),
                            static_cast<std::uint8_t>(sn >> 16),
                            static_cast<std::uint8_t>(sn >> 24), 0, 0});
    }
    const bool newApplication = config_.appVersion >= cNEW_JUMP_VERSION;
    for (const auto& form : cJUMP_FORMS) {
        if (code == form.code && form.forNewApplications == newApplication &&
            std::equal(form.params.begin(), form.params.end(), frame.begin() + 1)) {
            return onBootloaderJump();
        }
    }
    return {};
}

std::chrono::milliseconds LoggerModel::takeStall() {
    if (faults_.stallAnswers <= 0) {
        return std::chrono::milliseconds(0);
    }
    --faults_.stallAnswers;
    return faults_.stall;
}

bool LoggerModel::cutsPowerAt(PowerCut point) {
    if (faults_.powerCutPoint != point) {
        return false;
    }
    faults_.powerCutPoint = PowerCut::none;
    die();
    return true;
}

void LoggerModel::die() {
    mode_ = Mode::dead;
    programming_ = false;
}

Bytes LoggerModel::onBootloaderJump() {
    if (cutsPowerAt(PowerCut::atJump)) {
        return {};
    }
    mode_ = Mode::bootloader;
    programming_ = false;
    return {};
}

Bytes LoggerModel::onLine(const Bytes& frame) {
    if (mode_ != Mode::bootloader) {
        return {};
    }
    const auto record =
        decodeRecord(std::string_view(reinterpret_cast<const char*>(frame.data()), frame.size()));
    if (!record) {
        return {};
    }
    if (record->type == cTYPE_COMMAND && record->data.size() == 1) {
        return onLineCommand(record->address, record->data[0]);
    }
    if (record->type == cTYPE_DATA && record->data.size() == cDATA_RECORD_SIZE) {
        return onDataLine(record->address, record->data);
    }
    return {};
}

Bytes LoggerModel::onLineCommand(std::uint16_t address, std::uint8_t code) {
    const bool bl = generation() == Generation::bl;
    const auto entry = std::find_if(std::begin(cLINE_COMMANDS), std::end(cLINE_COMMANDS),
                                    [&](const auto& c) { return c.code == code && c.forBl == bl; });
    if (entry == std::end(cLINE_COMMANDS)) {
        return {};
    }
    switch (entry->command) {
        case LineCommand::platform:
            return platformAnswer();
        case LineCommand::updateId:
            return cutsPowerAt(PowerCut::atUpdateIdQuery) ? Bytes{} : updateIdAnswer(address);
        case LineCommand::start:
            return cutsPowerAt(PowerCut::atProgrammingStart) ? Bytes{} : startProgramming(code);
        case LineCommand::end:
            return cutsPowerAt(PowerCut::atEndCommand) ? Bytes{} : endProgramming();
    }
    return {};
}

Bytes LoggerModel::onDataLine(std::uint16_t address, const Bytes& data) {
    if (!programming_) {
        return {};
    }
    const int index = dataLinesSinceStart_++;
    FlashModel::Block block{};
    std::copy(data.begin(), data.end(), block.begin());
    const bool powerFails = index == faults_.powerCutAt;
    if (powerFails && faults_.powerCutWrittenBytes < static_cast<int>(cDATA_RECORD_SIZE)) {
        faults_.powerCutAt = -1;
        if (faults_.powerCutWrittenBytes > 0) {
            flash_.writeTorn(address, block,
                             static_cast<std::size_t>(faults_.powerCutWrittenBytes));
        }
        die();
        return {};
    }
    if (index == faults_.wrongEchoAt) {
        // The logger took one digit of the line wrongly: it stores and echoes what it understood.
        faults_.wrongEchoAt = -1;
        block[static_cast<std::size_t>(faults_.wrongEchoByte)] ^= 0x01;
    }
    flash_.write(address, block);
    if (address == cVECTOR_TABLE_ADDRESS) {
        appPresent_ = true;
        appClass_ = config_.bootedClass;
    }
    if (powerFails) {
        // The whole record reached the flash; the power failed before the echo left.
        faults_.powerCutAt = -1;
        die();
        return {};
    }
    Bytes echo = lineBytes({address, cTYPE_DATA, Bytes(block.begin(), block.end())});
    if (index == faults_.powerCutAfterEchoAt) {
        // The echo is already on its way when the power fails.
        faults_.powerCutAfterEchoAt = -1;
        die();
    }
    return echo;
}

Bytes LoggerModel::answerFrame(const std::uint8_t (&data)[6]) const {
    Bytes frame(8);
    frame[0] = faults_.notReady ? cSTATUS_NOT_READY : 0;
    std::copy(std::begin(data), std::end(data), frame.begin() + 1);
    frame[7] = calcCRC8(frame.data(), 7);
    return frame;
}

Bytes LoggerModel::identity() const {
    const bool app = mode_ == Mode::application;
    const std::uint16_t cls = app ? appClass_ : config_.blClass;
    const std::uint16_t version = app ? config_.appVersion : config_.blVersion;
    return answerFrame({0, hi(cls), lo(cls), hi(version), lo(version), 0});
}

Bytes LoggerModel::platformAnswer() const {
    return lineBytes({0,
                      cTYPE_DATA,
                      {hi(config_.platform), lo(config_.platform), hi(config_.print),
                       lo(config_.print), hi(config_.info), lo(config_.info)}});
}

Bytes LoggerModel::updateIdAnswer(std::uint16_t address) const {
    const std::uint32_t blockAddress = updateIdBlockAddress();
    const bool atBlock =
        generation() == Generation::bl3 ? address * 64u == blockAddress : address == blockAddress;
    Bytes data(cDATA_RECORD_SIZE, 0xFF);
    if (atBlock) {
        const std::uint16_t words[] = {config_.upidId, config_.upidInfo, config_.upidPlatform,
                                       config_.upidPrint, config_.upidReserve};
        for (std::size_t i = 0; i < std::size(words); ++i) {
            data[2 * i] = lo(words[i]);
            data[2 * i + 1] = hi(words[i]);
        }
        std::uint16_t crc = calcCRC16(data.data(), 10);
        if (!config_.upidCrcValid) {
            crc ^= 0xFFFF;
        }
        data[10] = lo(crc);
        data[11] = hi(crc);
    }
    return lineBytes({address, cTYPE_DATA, data});
}

Bytes LoggerModel::startProgramming(std::uint8_t code) {
    flash_.erase();
    appPresent_ = false;
    programming_ = true;
    dataLinesSinceStart_ = 0;
    return lineBytes({0, cTYPE_DATA, {code}});
}

Bytes LoggerModel::endProgramming() {
    programming_ = false;
    if (flash_.vectorTableWritten()) {
        mode_ = Mode::application;
    }
    cutsPowerAt(PowerCut::afterEndCommand);
    return {};
}

Bytes LoggerModel::withAnswerFaults(Bytes answer, bool isFrame) {
    if (answer.empty()) {
        return answer;
    }
    if (isFrame && faults_.notReadyFrames > 0) {
        --faults_.notReadyFrames;
        answer[0] |= cSTATUS_NOT_READY;
        answer.back() = calcCRC8(answer.data(), 7);
    }
    if (faults_.corruptAnswers > 0) {
        --faults_.corruptAnswers;
        if (isFrame) {
            answer.back() ^= 0xFF;
        } else {
            spoilLineChecksum(answer);
        }
    }
    if (faults_.shortAnswers > 0) {
        --faults_.shortAnswers;
        answer.pop_back();
    }
    if (faults_.garbledAnswers > 0) {
        --faults_.garbledAnswers;
        garble(answer);
    }
    return answer;
}

LoggerModel::Generation LoggerModel::generation() const {
    if (config_.blClass == cCLASS_BL) {
        return Generation::bl;
    }
    return config_.blClass == cCLASS_BL3 ? Generation::bl3 : Generation::bl2;
}

std::uint32_t LoggerModel::updateIdBlockAddress() const {
    if (config_.upidAddress) {
        return *config_.upidAddress;
    }
    for (const auto& place : cUPDATE_ID_PLACES) {
        if (place.platform == config_.platform) {
            return place.address;
        }
    }
    return 0;
}

}  // namespace pelion::sim
