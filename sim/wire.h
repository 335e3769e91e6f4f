// The serial line between the updater and the logger, seen from the logger. Unpaced, bytes
// count as arrived when they are read and answers leave at once. Paced, the line runs at 9600
// baud 8N1 in both directions: a byte arrives one character time after the previous one at the
// earliest, and an answer leaves one character per character time. Deadlines are absolute, so
// late wake-ups never add up over a long exchange.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace pelion::sim {

class Wire {
public:
    using Clock = std::chrono::steady_clock;
    // Ten bit times (start bit, eight data bits, stop bit) at 9600 baud.
    static constexpr auto cCHARACTER_TIME = std::chrono::nanoseconds(10'000'000'000LL / 9600);

    struct TimedByte {
        std::uint8_t byte;
        Clock::time_point at;
    };

    explicit Wire(bool paced) : paced_(paced) {}

    // Bytes that the updater wrote, as read from the line at `readAt`.
    void receive(const std::uint8_t* data, std::size_t n, Clock::time_point readAt);
    // The next received byte that has fully arrived by `now`.
    std::optional<TimedByte> nextArrived(Clock::time_point now);

    // Queues an answer to a frame whose last byte arrived at `from`.
    void send(const std::vector<std::uint8_t>& answer, Clock::time_point from);
    // The queued bytes that have left by `now`, each with the moment its last bit left.
    std::vector<TimedByte> dueOutput(Clock::time_point now);

    // The earliest moment something is due in either direction.
    std::optional<Clock::time_point> nextEvent() const;

private:
    bool paced_;
    std::deque<TimedByte> incoming_;
    std::deque<TimedByte> outgoing_;
    Clock::time_point lastArrival_{};
    Clock::time_point lastDeparture_{};
};

}  // namespace pelion::sim
