// The updater's side of the cable, reduced to raw bytes: frames and lines written to the
// simulated logger's port, answers read back with the port's own time-outs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace pelion::sim::test {

using Bytes = std::vector<std::uint8_t>;

// A command frame: code with bit 7, six parameters, CRC-8 of the first seven bytes.
Bytes commandFrame(std::uint8_t code, std::vector<std::uint8_t> params = {});
// The line of a one-byte line command (count 1, type 5) at `address`.
std::string lineCommand(std::uint8_t code, std::uint16_t address = 0);
// A 64-byte data line at `address` whose bytes all hold `fill`.
std::string dataLine(std::uint16_t address, std::uint8_t fill);

class SimClient {
public:
    explicit SimClient(const std::string& port);
    ~SimClient();
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    bool isOpen() const { return port_ != cINVALID_PORT; }
    void close();

    // Writes without discarding anything first. A frame that gets no answer should be waited
    // for at the logger before the next exchange discards what is still on its way.
    void send(const Bytes& bytes);
    void send(const std::string& line);
    // Up to n bytes, as many as arrive within the port's read time-out.
    Bytes read(std::uint32_t n);
    // Discards what is pending, sends a frame and reads an answer of n bytes.
    Bytes exchange(const Bytes& frame, std::uint32_t n = 8);
    // Discards what is pending, sends a line and reads a line answer of `dataBytes` data bytes.
    std::string exchange(const std::string& line, std::uint32_t dataBytes);

    // The identity answer's class and version word; 0xFFFFFFFF when no good answer came.
    std::uint32_t identity();

private:
    ComPort port_;
};

}  // namespace pelion::sim::test
