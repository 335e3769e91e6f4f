#include "sim/simulated_logger.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "sim/frame_assembler.h"
#include "sim/logger_model.h"
#include "sim/pseudo_terminal.h"
#include "sim/wire.h"

namespace pelion::sim {

namespace {

using Clock = std::chrono::steady_clock;

timespec untilDeadline(Clock::time_point deadline) {
    const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

// Wakes the serving thread out of its wait when the logger is destroyed.
class StopSignal {
public:
    StopSignal() {
        if (pipe2(fds_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
            throw std::system_error(errno, std::generic_category(), "pipe2");
        }
    }
    ~StopSignal() {
        close(fds_[0]);
        close(fds_[1]);
    }
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    int waitFd() const { return fds_[0]; }
    void raise() const {
        const char byte = 1;
        [[maybe_unused]] const auto rc = write(fds_[1], &byte, 1);
    }
    void drain() const {
        char buffer[64];
        while (read(fds_[0], buffer, sizeof buffer) > 0) {
        }
    }

private:
    std::array<int, 2> fds_{};
};

}  // namespace

struct SimulatedLogger::Impl {
    explicit Impl(const LoggerConfig& config)
        : model(config),
          terminal(std::make_unique<PseudoTerminal>()),
          portPath(terminal->slavePath()),
          paced(config.paced),
          adapterSettings(config.adapter),
          wire(config.paced),
          assembler(config.resyncGap) {
        plugAdapter();
    }

    void serve();
    bool waitForTraffic();
    std::optional<Clock::time_point> nextEvent() const;
    void sendToUpdater(Clock::time_point now);
    void plugAdapter();
    void onFrame(const std::vector<std::uint8_t>& frame, Clock::time_point at);
    void takePluggedTerminal();

    // Shared between the serving thread and the caller's threads.
    mutable std::mutex mutex;
    mutable std::condition_variable frameArrived;
    LoggerModel model;
    std::vector<ReceivedFrame> frames;
    LineNoise noise;
    int framesUntilCablePull = -1;
    std::unique_ptr<PseudoTerminal> pluggedTerminal;  // handed over to the serving thread
    std::atomic<bool> stopping{false};

    // The serving thread's own, which changes it under the mutex only (restart() reads it);
    // no terminal while the cable is out.
    std::unique_ptr<PseudoTerminal> terminal;
    std::string portPath;  // written under the mutex
    const bool paced;
    const std::optional<AdapterSettings> adapterSettings;
    StopSignal wake;
    Wire wire;
    std::optional<UsbAdapter> adapter;
    FrameAssembler assembler;
    std::thread server;
};

void SimulatedLogger::Impl::serve() {
    while (waitForTraffic()) {
        const auto now = Clock::now();
        while (const auto next = wire.nextArrived(now)) {
            if (const auto frame = assembler.push(next->byte, next->at)) {
                onFrame(*frame, next->at);
            }
        }
        sendToUpdater(now);
    }
}

// What the updater is not there to take is lost, as on a real line. An adapter takes the
// answer's bytes as soon as they are queued, each with the moment it will reach the chip, so
// the logger wakes only when a packet leaves rather than for every character.
void SimulatedLogger::Impl::sendToUpdater(Clock::time_point now) {
    const auto due = wire.dueOutput(adapter ? Clock::time_point::max() : now);
    std::vector<std::vector<std::uint8_t>> packets;
    if (adapter) {
        for (const auto& sent : due) {
            adapter->take(sent.byte, sent.at);
        }
        packets = adapter->sentPackets(now);
    } else if (!due.empty()) {
        packets.emplace_back();
        for (const auto& sent : due) {
            packets.back().push_back(sent.byte);
        }
    }
    for (const auto& packet : packets) {
        if (terminal) {
            [[maybe_unused]] const auto rc =
                write(terminal->master(), packet.data(), packet.size());
        }
    }
}

std::optional<Clock::time_point> SimulatedLogger::Impl::nextEvent() const {
    auto next = wire.nextEvent();
    const auto packet = adapter ? adapter->nextPacket() : std::nullopt;
    if (packet && (!next || *packet < *next)) {
        next = packet;
    }
    return next;
}

void SimulatedLogger::Impl::plugAdapter() {
    if (adapterSettings) {
        adapter.emplace(*adapterSettings, Clock::now());
    }
}

// Waits for bytes from the updater, for the next deadline of the wire or for a wake-up (a new
// cable or the stop); false on stop.
bool SimulatedLogger::Impl::waitForTraffic() {
    const int master = terminal ? terminal->master() : -1;  // poll skips a negative descriptor
    std::array<pollfd, 2> fds{{{master, POLLIN, 0}, {wake.waitFd(), POLLIN, 0}}};
    const auto next = nextEvent();
    timespec timeout{};
    if (next) {
        timeout = untilDeadline(*next);
    }
    const int rc = ppoll(fds.data(), fds.size(), next ? &timeout : nullptr, nullptr);
    if (rc < 0) {
        return errno == EINTR;
    }
    if (fds[1].revents != 0) {
        wake.drain();
        if (stopping.load()) {
            return false;
        }
        takePluggedTerminal();
        return true;
    }
    if (fds[0].revents & POLLIN) {
        std::array<std::uint8_t, 512> buffer;
        const ssize_t n = read(master, buffer.data(), buffer.size());
        if (n > 0) {
            std::vector<std::uint8_t> bytes;
            {
                std::lock_guard lock(mutex);
                bytes = noise.toLogger(buffer.data(), static_cast<std::size_t>(n));
            }
            wire.receive(bytes.data(), bytes.size(), Clock::now());
        }
    } else if (fds[0].revents != 0) {
        return false;  // the terminal itself failed; nothing can reach the logger any more
    }
    return true;
}

void SimulatedLogger::Impl::takePluggedTerminal() {
    std::lock_guard lock(mutex);
    if (pluggedTerminal) {
        terminal = std::move(pluggedTerminal);
    }
}

void SimulatedLogger::Impl::onFrame(const std::vector<std::uint8_t>& frame, Clock::time_point at) {
    std::vector<std::uint8_t> answer;
    auto stall = std::chrono::milliseconds(0);
    bool pullCable = false;
    {
        std::lock_guard lock(mutex);
        frames.push_back({at, frame});
        answer = model.answer(frame);
        if (!answer.empty()) {
            stall = model.takeStall();
            answer = noise.fromLogger(answer);
        }
        pullCable = framesUntilCablePull > 0 && --framesUntilCablePull == 0;
    }
    frameArrived.notify_all();
    if (pullCable) {
        // Closing both sides hangs the port up under the updater; whatever was still to be
        // sent is lost with the cable.
        {
            std::lock_guard lock(mutex);
            terminal.reset();
        }
        wire = Wire(paced);
        plugAdapter();
        return;
    }
    wire.send(answer, at + stall);
}

SimulatedLogger::SimulatedLogger(const LoggerConfig& config)
    : impl_(std::make_unique<Impl>(config)) {
    impl_->server = std::thread([impl = impl_.get()] { impl->serve(); });
}

SimulatedLogger::~SimulatedLogger() {
    impl_->stopping.store(true);
    impl_->wake.raise();
    impl_->server.join();
}

std::string SimulatedLogger::portPath() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->portPath;
}

void SimulatedLogger::muteNextExchanges(int k) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().muteFrames = k;
}

void SimulatedLogger::corruptNextAnswers(int k) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().corruptAnswers = k;
}

void SimulatedLogger::setNotReady(bool on) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().notReady = on;
}

void SimulatedLogger::shortNextAnswers(int k) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().shortAnswers = k;
}

void SimulatedLogger::garbleNextAnswers(int k) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().garbledAnswers = k;
}

void SimulatedLogger::wrongEchoAtDataLine(int k, int byte) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().wrongEchoAt = k;
    impl_->model.faults().wrongEchoByte = std::clamp(byte, 0, 63);
}

void SimulatedLogger::powerCutAtDataLine(int k) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().powerCutAt = k;
}

void SimulatedLogger::powerCutAtJump() {
    powerCutAt(PowerCut::atJump);
}

void SimulatedLogger::tornWriteAtDataLine(int k, int bytesWritten) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().powerCutAt = k;
    impl_->model.faults().powerCutWrittenBytes = bytesWritten;
}

void SimulatedLogger::powerCutAfterEchoOf(int k) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().powerCutAfterEchoAt = k;
}

void SimulatedLogger::powerCutAt(PowerCut point) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().powerCutPoint = point;
}

void SimulatedLogger::notReadyNextAnswers(int k) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().notReadyFrames = k;
}

void SimulatedLogger::stallNextAnswers(int k, std::chrono::milliseconds stall) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().stallAnswers = k;
    impl_->model.faults().stall = stall;
}

void SimulatedLogger::setLineNoise(std::uint64_t seed, const NoiseRates& toLogger,
                                   const NoiseRates& fromLogger) {
    std::lock_guard lock(impl_->mutex);
    impl_->noise.set(seed, toLogger, fromLogger);
}

void SimulatedLogger::pullCableAfterFrames(int k) {
    std::lock_guard lock(impl_->mutex);
    impl_->framesUntilCablePull = k;
}

void SimulatedLogger::plugIn() {
    auto terminal = std::make_unique<PseudoTerminal>();
    {
        std::lock_guard lock(impl_->mutex);
        impl_->framesUntilCablePull = -1;
        impl_->portPath = terminal->slavePath();
        impl_->pluggedTerminal = std::move(terminal);
    }
    impl_->wake.raise();
}

bool SimulatedLogger::cableIn() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->framesUntilCablePull != 0;
}

void SimulatedLogger::clearFaults() {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults() = Faults{};
    impl_->noise.off();
    if (impl_->framesUntilCablePull > 0) {
        impl_->framesUntilCablePull = -1;
    }
}

std::uint64_t SimulatedLogger::noiseBytesDisturbed() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->noise.bytesDisturbed();
}

void SimulatedLogger::restart() {
    std::lock_guard lock(impl_->mutex);
    impl_->model.restart();
    // Powered from USB, the logger's port went with the power and comes back unclaimed, even
    // when the program that held it was killed meanwhile.
    if (impl_->terminal) {
        impl_->terminal->dropExclusiveClaim();
    }
}

std::vector<ReceivedFrame> SimulatedLogger::received() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->frames;
}

bool SimulatedLogger::waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->frameArrived.wait_for(lock, timeout,
                                        [&] { return impl_->frames.size() >= count; });
}

bool SimulatedLogger::powerIsCut() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.powerIsCut();
}

bool SimulatedLogger::inBootloader() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.inBootloader();
}

bool SimulatedLogger::vectorTableWritten() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.flash().vectorTableWritten();
}

std::vector<std::uint16_t> SimulatedLogger::writeOrder() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.flash().writeOrder();
}

bool SimulatedLogger::flashEquals(const std::vector<std::string>& imageLines) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.flash().equals(imageLines);
}

}  // namespace pelion::sim
