// The USB serial adapter between the logger's line and the computer, for the direction from the
// logger to the updater. The common chips (a 16 ms latency timer by default, settable from 1 to
// 255 ms) do not pass received bytes on one by one: they collect them and send a USB packet of
// at most 62 data bytes when the packet is full or when the latency timer runs out. The timer
// counts from the last packet sent to the computer and restarts with every packet, the empty
// status packets an idle chip sends at each expiry included. So with nothing filling a packet
// the packets leave on a fixed grid, one latency period apart, and a byte waits for the next
// grid point after its arrival; a full packet leaves at once and starts a new grid.
//
// The direction from the updater to the logger is not modelled: the computer's writes reach
// the chip within a USB frame and go on the line at once.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace pelion::sim {

struct AdapterSettings {
    std::chrono::milliseconds latency{16};
    std::size_t packetBytes = 62;
};

class UsbAdapter {
public:
    using Clock = std::chrono::steady_clock;

    // The chip powers up, and its timer starts, at `pluggedAt`.
    UsbAdapter(const AdapterSettings& settings, Clock::time_point pluggedAt);

    // A byte whose last bit reaches the chip at `at`, now or later; bytes come in the order of
    // the line.
    void take(std::uint8_t byte, Clock::time_point at);
    // The packets sent to the computer by `now`, each as its data bytes, in order.
    std::vector<std::vector<std::uint8_t>> sentPackets(Clock::time_point now);
    // When the next packet with data leaves.
    std::optional<Clock::time_point> nextPacket() const;

private:
    struct HeldByte {
        std::uint8_t byte;
        Clock::time_point at;
    };

    // The first expiry of the latency timer at or after `at`.
    Clock::time_point expiryFrom(Clock::time_point at) const;
    std::vector<std::uint8_t> sendHeld(std::size_t count, Clock::time_point at);

    AdapterSettings settings_;
    Clock::time_point lastPacket_;
    std::deque<HeldByte> held_;
};

}  // namespace pelion::sim
