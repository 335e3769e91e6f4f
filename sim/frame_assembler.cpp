#include "sim/frame_assembler.h"

#include "link/hex_record.h"

namespace pelion::sim {

namespace {

constexpr std::size_t cFRAME_SIZE = 8;
constexpr std::size_t cLINE_OVERHEAD = 11;  // ':', count, address, type and checksum digits

}  // namespace

std::optional<std::vector<std::uint8_t>> FrameAssembler::push(std::uint8_t byte,
                                                              Clock::time_point at) {
    if (kind_ != Kind::none && at - last_ > resyncGap_) {
        reset();
    }
    last_ = at;
    // A line holds ASCII only: a new ':' or a command code cuts a torn line off at once.
    const bool breaksFrame = (kind_ == Kind::null && byte != 0) ||
                             (kind_ == Kind::line && (byte == ':' || (byte & 0x80)));
    if (kind_ == Kind::none || breaksFrame) {
        start(byte);
    } else {
        partial_.push_back(byte);
    }
    if (kind_ == Kind::line && expected_ == 0 && partial_.size() == 3) {
        std::uint8_t high = 0;
        std::uint8_t low = 0;
        if (!hexToNibble(static_cast<char>(partial_[1]), high) ||
            !hexToNibble(static_cast<char>(partial_[2]), low)) {
            reset();
            return std::nullopt;
        }
        expected_ = 2u * (high << 4 | low) + cLINE_OVERHEAD;
    }
    if (kind_ == Kind::none || expected_ == 0 || partial_.size() < expected_) {
        return std::nullopt;
    }
    auto frame = std::move(partial_);
    reset();
    return frame;
}

void FrameAssembler::start(std::uint8_t byte) {
    reset();
    if (byte == 0) {
        kind_ = Kind::null;
        expected_ = cFRAME_SIZE;
    } else if (byte & 0x80) {
        kind_ = Kind::command;
        expected_ = cFRAME_SIZE;
    } else if (byte == ':') {
        kind_ = Kind::line;
    } else {
        return;  // noise between frames
    }
    partial_.push_back(byte);
}

void FrameAssembler::reset() {
    kind_ = Kind::none;
    partial_.clear();
    expected_ = 0;
}

}  // namespace pelion::sim
