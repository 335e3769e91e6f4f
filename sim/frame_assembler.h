// Cuts the byte stream from the updater into frames: 8-byte command frames (first byte with bit
// 7 set), null frames (eight 0x00) and Intel-HEX line frames (':' and 2n + 10 characters, n
// read from the count digits). A frame left unfinished for longer than the resynchronisation
// gap is dropped, so a torn frame never glues onto the next one.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace pelion::sim {

class FrameAssembler {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto cRESYNC_GAP = std::chrono::milliseconds(100);

    explicit FrameAssembler(std::chrono::milliseconds resyncGap = cRESYNC_GAP)
        : resyncGap_(resyncGap) {}

    // Takes one byte that arrived at `at`; returns the frame it completed, if any.
    std::optional<std::vector<std::uint8_t>> push(std::uint8_t byte, Clock::time_point at);

private:
    enum class Kind { none, command, null, line };

    void start(std::uint8_t byte);
    void reset();

    Kind kind_ = Kind::none;
    std::vector<std::uint8_t> partial_;
    std::size_t expected_ = 0;  // 0 while a line's length is not known yet
    Clock::time_point last_{};
    std::chrono::milliseconds resyncGap_;
};

}  // namespace pelion::sim
