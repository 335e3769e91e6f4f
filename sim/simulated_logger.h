// A simulated Pelion logger on a pseudo-terminal: its application and its bootloaders (BL, BL2,
// BL3), a flash model and switchable faults. Tests, benchmarks and the demo talk to it through
// the slave side of its pseudo-terminal exactly as the updater talks to a real logger.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/line_noise.h"
#include "sim/usb_adapter.h"

namespace pelion::sim {

// Moments outside the data lines at which the logger can lose its power.
enum class PowerCut {
    none,
    atJump,              // on accepting the bootloader jump
    atUpdateIdQuery,     // on receiving the update-ID query
    atProgrammingStart,  // on receiving the programming start, before it erases anything
    atEndCommand,        // on receiving the programming end, before it acts on it
    afterEndCommand,     // right after acting on the programming end (the new firmware booting)
};

struct LoggerConfig {
    // Application (answers the identity query with class 0x6601 and its version word).
    std::uint16_t appClass = 0x6601;
    std::uint16_t appVersion = 0x0602;  // 6.02: expects the new jump form (>= 0x0600)
    std::uint32_t serialNumber = 327980;
    bool startInBootloader = false;

    // Bootloader: class 0xC800 (BL), 0xC801 (BL2) or 0xC802 (BL3). Its version word equals the
    // bootloader version of the images made for it (BL3 3.0: 0x0000, BL2 2.1: 0x0001).
    std::uint16_t blClass = 0xC802;
    std::uint16_t blVersion = 0x0000;
    std::uint16_t platform = 24;
    std::uint16_t print = 49;
    std::uint16_t info = 0;

    // Update-ID block, read at the platform's block address (BL3: by 64-byte block number).
    std::uint16_t upidId = 0x6601;
    std::uint16_t upidInfo = 0x001A;
    std::uint16_t upidPlatform = 24;
    std::uint16_t upidPrint = 49;
    std::uint16_t upidReserve = 0;
    bool upidCrcValid = true;  // false stores a deliberately wrong CRC
    // Byte address of the block; unset: where the platform keeps it (0x1000, 0x1800, 0x1900, 0).
    std::optional<std::uint32_t> upidAddress;

    // The class the programmed firmware answers with once it boots.
    std::uint16_t bootedClass = 0x6601;

    // Pace the wire at 9600 baud 8N1 in both directions (one character per 10 bit times).
    bool paced = false;
    // Answers reach the updater in USB packets as an adapter sends them; unset: byte by byte.
    std::optional<AdapterSettings> adapter;
    // A frame left unfinished this long is dropped. The updater pauses at least 100 ms between
    // attempts; a tool that shortens the updater's waits shortens this gap with them.
    std::chrono::milliseconds resyncGap{100};
};

// One frame as the logger received it: a command frame, a null frame or a line.
struct ReceivedFrame {
    std::chrono::steady_clock::time_point at;  // when its last byte arrived
    std::vector<std::uint8_t> bytes;
};

class SimulatedLogger {
public:
    explicit SimulatedLogger(const LoggerConfig& config = {});
    ~SimulatedLogger();  // stops serving and closes the pseudo-terminal
    SimulatedLogger(const SimulatedLogger&) = delete;
    SimulatedLogger& operator=(const SimulatedLogger&) = delete;

    // The path of the pseudo-terminal's slave side, for openComPort; a new one after plugIn().
    std::string portPath() const;

    // Faults. Each takes effect from the next exchange on.
    void muteNextExchanges(int k);   // the next k frames (null frames aside) are lost unseen
    void corruptNextAnswers(int k);  // the next k answers carry a wrong checksum
    void setNotReady(bool on);       // answer frames carry status bit 0x20
    void shortNextAnswers(int k);    // the next k answers lack their last byte
    void garbleNextAnswers(int k);   // the next k answers are noise after their first byte
    // Data lines are counted from 0 at each programming start, repeats included; each of these
    // faults fires once. A wrong echo is a well-formed record with one data digit changed, and
    // that changed record is what the flash keeps.
    // The echo of the k-th data line (0-based) differs in data byte `byte` (0 to 63).
    void wrongEchoAtDataLine(int k, int byte = 0);
    void powerCutAtDataLine(int k);  // dies on receiving the k-th data line
    void powerCutAtJump();           // dies on accepting the next bootloader jump
    // Dies on the k-th data line after `bytesWritten` of its 64 bytes reached the flash (a torn
    // write; 0 is the same as powerCutAtDataLine, 64 a whole record written but not echoed).
    void tornWriteAtDataLine(int k, int bytesWritten);
    void powerCutAfterEchoOf(int k);  // stores and echoes the k-th data line, then dies
    void powerCutAt(PowerCut point);  // one shot
    void notReadyNextAnswers(int k);  // the next k answer frames carry status bit 0x20
    // The next k answers leave only after `stall`, later answers queued behind them.
    void stallNextAnswers(int k, std::chrono::milliseconds stall);
    // Seeded byte noise in both directions until switched off (all rates 0).
    void setLineNoise(std::uint64_t seed, const NoiseRates& toLogger, const NoiseRates& fromLogger);
    // The cable is pulled once k more frames (null frames included) have been received: the
    // port hangs up under the updater, the logger itself runs on. plugIn() gives it a new port.
    void pullCableAfterFrames(int k);
    void plugIn();
    bool cableIn() const;
    // Every fault off, line noise included: a clean line for the next run.
    void clearFaults();
    // Power back: the application when the flash holds one (never erased, or the vector table
    // written since the last programming start), else the bootloader.
    void restart();

    // Observation. Every frame that crossed the wire is recorded, answered or not, a dead
    // logger's included.
    std::vector<ReceivedFrame> received() const;
    // Waits until at least `count` frames have been received; false when `timeout` passed first.
    bool waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const;
    bool powerIsCut() const;
    bool inBootloader() const;
    bool vectorTableWritten() const;
    // Bytes the line noise has disturbed so far.
    std::uint64_t noiseBytesDisturbed() const;
    // Addresses of the programmed data records, in the order they were written.
    std::vector<std::uint16_t> writeOrder() const;
    // True when the flash holds exactly the data records of `imageLines` (Intel-HEX lines;
    // records other than 64-byte data records are ignored) and nothing else.
    bool flashEquals(const std::vector<std::string>& imageLines) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace pelion::sim
