#include "app/latency_advice.h"

#include <algorithm>

#include "firmware/catalogue.h"

namespace pelion {

namespace {

// A data line and its echo, 139 characters each way at 9600 baud 8N1: 289.58 ms on the wire,
// in microseconds.
constexpr long long cLINE_WIRE_US = 278LL * 10 * 1'000'000 / 9600;

// A line's exchange ends at the first tick of the timer after its echo's last byte.
long long lineMicroseconds(int timerMs) {
    const long long tick = static_cast<long long>(timerMs) * 1000;
    return (cLINE_WIRE_US + tick - 1) / tick * tick;
}

int largestImageLines() {
    int lines = 0;
    for (int image = 1; image <= getFirmwareCount(); ++image) {
        lines = std::max(lines, getFirmwareLastLine(image));
    }
    return lines;
}

}  // namespace

int latencyCostSeconds(int timerMs) {
    if (timerMs <= 1) {
        return 0;
    }
    const long long extra = lineMicroseconds(timerMs) - lineMicroseconds(1);
    return static_cast<int>((extra * largestImageLines() + 500'000) / 1'000'000);
}

std::string latencyTimerText(const ComPortDetails& port) {
    const int ms = port.latencyTimerMs.value_or(0);
    const std::string timer =
        "The latency timer of the adapter on " + port.name + " is " + std::to_string(ms) + " ms";
    if (!updaterKeepsLatencyTimer()) {
        return timer + ": pelion-update sets it to 1 ms while it updates. " +
               latencyTimerHowTo(port);
    }
    return timer + ": an update of the largest firmware image takes about " +
           std::to_string(latencyCostSeconds(ms)) + " s longer than at 1 ms. " +
           latencyTimerHowTo(port);
}

std::optional<std::string> latencyWarningBeforeUpdate(const std::string& port) {
    if (!updaterKeepsLatencyTimer()) {
        return std::nullopt;
    }
    const ComPortDetails details = getComPortDetails(port);
    if (!details.latencyTimerMs || *details.latencyTimerMs <= cLATENCY_HARMLESS_MS) {
        return std::nullopt;
    }
    return latencyTimerText(details);
}

}  // namespace pelion
