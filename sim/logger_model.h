// What the logger does with each frame it receives: its application, its bootloader, its flash
// and the faults it can be told to show. Pure logic, no I/O; the caller serialises access.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "sim/flash_model.h"
#include "sim/simulated_logger.h"

namespace pelion::sim {

using Bytes = std::vector<std::uint8_t>;

struct Faults {
    int muteFrames = 0;      // frames (null frames aside) lost before the logger sees them
    int corruptAnswers = 0;  // answers sent with a wrong checksum
    int shortAnswers = 0;    // answers cut short by their last byte
    int garbledAnswers = 0;  // answers whose bytes after the first are not hex digits
    bool notReady = false;   // answer frames carry the error status bit
    int notReadyFrames = 0;  // answer frames that carry it, counted down
    int stallAnswers = 0;    // answers held back for `stall`
    std::chrono::milliseconds stall{0};
    int wrongEchoAt = -1;          // data line whose echo differs (one shot)
    int wrongEchoByte = 0;         // the data byte of that line taken wrongly
    int powerCutAt = -1;           // data line on which the power fails (one shot)
    int powerCutWrittenBytes = 0;  // bytes of that line that reach the flash (a torn write)
    int powerCutAfterEchoAt = -1;  // data line after whose echo the power fails (one shot)
    PowerCut powerCutPoint = PowerCut::none;  // one shot
};

class LoggerModel {
public:
    explicit LoggerModel(const LoggerConfig& config);

    // The logger's reply to one whole frame; empty when it stays silent.
    Bytes answer(const Bytes& frame);
    void restart();
    // How long the answer just given is held back (a stalled answer); counts the stall down.
    std::chrono::milliseconds takeStall();

    Faults& faults() { return faults_; }
    bool inBootloader() const { return mode_ == Mode::bootloader; }
    bool powerIsCut() const { return mode_ == Mode::dead; }
    const FlashModel& flash() const { return flash_; }

private:
    enum class Mode { application, bootloader, dead };
    enum class Generation { bl, bl2, bl3 };

    Bytes onCommand(const Bytes& frame);
    Bytes onLine(const Bytes& frame);
    Bytes onLineCommand(std::uint16_t address, std::uint8_t code);
    Bytes onDataLine(std::uint16_t address, const Bytes& data);
    Bytes onBootloaderJump();
    Bytes answerFrame(const std::uint8_t (&data)[6]) const;
    Bytes identity() const;
    Bytes platformAnswer() const;
    Bytes updateIdAnswer(std::uint16_t address) const;
    Bytes startProgramming(std::uint8_t code);
    Bytes endProgramming();
    Bytes withAnswerFaults(Bytes answer, bool isFrame);
    // True, with the logger dead, when the power is to fail at `point`.
    bool cutsPowerAt(PowerCut point);
    void die();
    Generation generation() const;
    std::uint32_t updateIdBlockAddress() const;

    LoggerConfig config_;
    Faults faults_;
    FlashModel flash_;
    Mode mode_;
    std::uint16_t appClass_;
    bool appPresent_;  // the application can start: never erased, or programmed completely
    bool programming_ = false;
    int dataLinesSinceStart_ = 0;
};

}  // namespace pelion::sim
