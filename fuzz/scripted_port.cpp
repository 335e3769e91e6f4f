#include "fuzz/scripted_port.h"

#include <algorithm>

#include "link/serial_port.h"

namespace pelion::fuzz {

namespace {

constexpr ComPort cTHE_PORT = 3;
ScriptedLine* theLine = nullptr;

enum AnswerFate : std::uint8_t {
    intact = 0,  // 0 to 3
    truncated = 4,
    flipped = 5,
    strayBytes = 6,  // a few bytes from the input after the answer (never enough to forge one)
    late = 7,
};

constexpr std::size_t cMOST_STRAY_BYTES = 7;

}  // namespace

ScriptedLine::ScriptedLine(const sim::LoggerConfig& config, const std::uint8_t* data,
                           std::size_t size)
    : logger_(config), data_(data), size_(size) {}

std::uint8_t ScriptedLine::next() {
    return pos_ < size_ ? data_[pos_++] : 0;
}

bool ScriptedLine::openFails() {
    return next() == 0xFF;
}

void ScriptedLine::send(const std::uint8_t* data, std::uint32_t n) {
    // Once the input is used up the line is dead: a short input makes a short run.
    const bool inputLeft = pos_ < size_;
    const std::uint8_t choice = next();
    if (!inputLeft || (choice & 3) == 3) {
        return;  // lost on the way
    }
    sim::Bytes answer = logger_.answer(sim::Bytes(data, data + n));
    const auto fate = static_cast<std::uint8_t>(choice >> 2 & 7);
    if (fate == late) {
        late_.insert(late_.end(), answer.begin(), answer.end());
        return;
    }
    answer = damaged(std::move(answer), fate);
    arrived_.insert(arrived_.end(), answer.begin(), answer.end());
}

sim::Bytes ScriptedLine::damaged(sim::Bytes answer, std::uint8_t how) {
    if (how == truncated) {
        answer.resize(std::min<std::size_t>(answer.size(), next()));
    } else if (how == flipped && !answer.empty()) {
        answer[next() % answer.size()] ^= static_cast<std::uint8_t>(1u << (next() % 8));
    } else if (how == strayBytes) {
        const std::size_t count = next() % (cMOST_STRAY_BYTES + 1);
        for (std::size_t k = 0; k < count; ++k) {
            answer.push_back(next());
        }
    }
    return answer;
}

std::uint32_t ScriptedLine::receive(std::uint8_t* data, std::uint32_t n) {
    const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(n, arrived_.size()));
    std::copy_n(arrived_.begin(), count, data);
    arrived_.erase(arrived_.begin(), arrived_.begin() + count);
    return count;
}

void ScriptedLine::purge() {
    arrived_ = std::move(late_);
    late_.clear();
}

void useLine(ScriptedLine* line) {
    theLine = line;
}

}  // namespace pelion::fuzz

namespace pelion {

using fuzz::theLine;

ComPort openComPort(const std::string&, std::uint32_t) {
    return theLine == nullptr || theLine->openFails() ? cINVALID_PORT : fuzz::cTHE_PORT;
}

void closeComPort(ComPort) {}

bool clearComError(ComPort) {
    return true;
}

bool purgeComPort(ComPort) {
    theLine->purge();
    return true;
}

bool writeComPort(ComPort, const std::uint8_t* data, std::uint32_t n, std::uint32_t& written) {
    theLine->send(data, n);
    written = n;
    return true;
}

bool readComPort(ComPort, std::uint8_t* data, std::uint32_t n, std::uint32_t& received) {
    received = theLine->receive(data, n);
    return true;
}

}  // namespace pelion
