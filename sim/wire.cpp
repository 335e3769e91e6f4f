#include "sim/wire.h"

#include <algorithm>

namespace pelion::sim {

void Wire::receive(const std::uint8_t* data, std::size_t n, Clock::time_point readAt) {
    for (std::size_t i = 0; i < n; ++i) {
        const auto at = paced_ ? std::max(readAt, lastArrival_) + cCHARACTER_TIME : readAt;
        incoming_.push_back({data[i], at});
        lastArrival_ = at;
    }
}

std::optional<Wire::TimedByte> Wire::nextArrived(Clock::time_point now) {
    if (incoming_.empty() || incoming_.front().at > now) {
        return std::nullopt;
    }
    const TimedByte next = incoming_.front();
    incoming_.pop_front();
    return next;
}

void Wire::send(const std::vector<std::uint8_t>& answer, Clock::time_point from) {
    for (const std::uint8_t byte : answer) {
        const auto at = paced_ ? std::max(from, lastDeparture_) + cCHARACTER_TIME : from;
        outgoing_.push_back({byte, at});
        lastDeparture_ = at;
    }
}

std::vector<Wire::TimedByte> Wire::dueOutput(Clock::time_point now) {
    std::vector<TimedByte> due;
    while (!outgoing_.empty() && outgoing_.front().at <= now) {
        due.push_back(outgoing_.front());
        outgoing_.pop_front();
    }
    return due;
}

std::optional<Wire::Clock::time_point> Wire::nextEvent() const {
    std::optional<Clock::time_point> next;
    for (const auto* queue : {&incoming_, &outgoing_}) {
        if (!queue->empty() && (!next || queue->front().at < *next)) {
            next = queue->front().at;
        }
    }
    return next;
}

}  // namespace pelion::sim
