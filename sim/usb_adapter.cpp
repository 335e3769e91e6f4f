#include "sim/usb_adapter.h"

#include <algorithm>

namespace pelion::sim {

UsbAdapter::UsbAdapter(const AdapterSettings& settings, Clock::time_point pluggedAt)
    : settings_(settings), lastPacket_(pluggedAt) {
    settings_.latency = std::max(settings_.latency, std::chrono::milliseconds(1));
    settings_.packetBytes = std::max<std::size_t>(settings_.packetBytes, 1);
}

void UsbAdapter::take(std::uint8_t byte, Clock::time_point at) {
    held_.push_back({byte, at});
}

// A byte that came with or before the last packet without going in it waits a whole period.
UsbAdapter::Clock::time_point UsbAdapter::expiryFrom(Clock::time_point at) const {
    const auto since = at - lastPacket_;
    const auto periods = since <= Clock::duration::zero()
                             ? 1
                             : (since + settings_.latency - Clock::duration(1)) / settings_.latency;
    return lastPacket_ + periods * settings_.latency;
}

std::vector<std::uint8_t> UsbAdapter::sendHeld(std::size_t count, Clock::time_point at) {
    std::vector<std::uint8_t> packet;
    for (std::size_t i = 0; i < count; ++i) {
        packet.push_back(held_.front().byte);
        held_.pop_front();
    }
    lastPacket_ = at;
    return packet;
}

std::vector<std::vector<std::uint8_t>> UsbAdapter::sentPackets(Clock::time_point now) {
    std::vector<std::vector<std::uint8_t>> packets;
    while (!held_.empty()) {
        const auto expiry = expiryFrom(held_.front().at);
        if (held_.size() >= settings_.packetBytes) {
            const auto filled = held_[settings_.packetBytes - 1].at;
            if (filled <= expiry && filled <= now) {
                packets.push_back(sendHeld(settings_.packetBytes, filled));
                continue;
            }
        }
        if (expiry > now) {
            break;
        }
        const auto arrived = std::count_if(held_.begin(), held_.end(),
                                           [&](const HeldByte& b) { return b.at <= expiry; });
        packets.push_back(sendHeld(static_cast<std::size_t>(arrived), expiry));
    }
    return packets;
}

std::optional<UsbAdapter::Clock::time_point> UsbAdapter::nextPacket() const {
    if (held_.empty()) {
        return std::nullopt;
    }
    const auto expiry = expiryFrom(held_.front().at);
    if (held_.size() >= settings_.packetBytes) {
        return std::min(expiry, held_[settings_.packetBytes - 1].at);
    }
    return expiry;
}

}  // namespace pelion::sim
