// The serial port of the update fuzz target: no device, but the simulated logger's logic
// behind it, with the fuzz input deciding what happens to each frame on the way to the logger
// and to each answer on the way back. Its file defines every function of link/serial_port.h,
// so the link library's own port file is not linked into the fuzz target.
#pragma once

#include <cstdint>
#include <memory>

#include "sim/logger_model.h"

namespace pelion::fuzz {

// One run's line: the logger and what is left of the fuzz input. The input is read one byte
// per frame (bits 0-1: 3 loses the frame; bits 2-4: what happens to the answer) plus the bytes
// that some of those choices take; once it is used up, every frame is lost. A whole update
// thus takes an input of about one byte per frame (the seed corpus holds such inputs).
class ScriptedLine {
public:
    ScriptedLine(const sim::LoggerConfig& config, const std::uint8_t* data, std::size_t size);

    sim::LoggerModel& logger() { return logger_; }
    bool openFails();

    void send(const std::uint8_t* data, std::uint32_t n);
    std::uint32_t receive(std::uint8_t* data, std::uint32_t n);
    void purge();

private:
    std::uint8_t next();
    sim::Bytes damaged(sim::Bytes answer, std::uint8_t how);

    sim::LoggerModel logger_;
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    sim::Bytes arrived_;  // waiting to be read by the updater
    sim::Bytes late_;     // an answer that arrives only after the next purge
};

// The line the port functions use; set for the length of one run.
void useLine(ScriptedLine* line);

}  // namespace pelion::fuzz
