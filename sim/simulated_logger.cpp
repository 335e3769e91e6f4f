#include "sim/simulated_logger.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
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

private:
    std::array<int, 2> fds_{};
};

}  // namespace

struct SimulatedLogger::Impl {
    explicit Impl(const LoggerConfig& config) : model(config), wire(config.paced) {}

    void serve();
    bool waitForTraffic();
    void onFrame(const std::vector<std::uint8_t>& frame, Clock::time_point at);

    // Shared between the serving thread and the caller's threads.
    mutable std::mutex mutex;
    mutable std::condition_variable frameArrived;
    LoggerModel model;
    std::vector<ReceivedFrame> frames;

    // The serving thread's own.
    PseudoTerminal terminal;
    StopSignal stop;
    Wire wire;
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
        const auto due = wire.dueOutput(now);
        if (!due.empty()) {
            // What the updater is not there to take is lost, as on a real line.
            [[maybe_unused]] const auto rc = write(terminal.master(), due.data(), due.size());
        }
    }
}

// Waits for bytes from the updater or for the next deadline of the wire; false on stop.
bool SimulatedLogger::Impl::waitForTraffic() {
    std::array<pollfd, 2> fds{{{terminal.master(), POLLIN, 0}, {stop.waitFd(), POLLIN, 0}}};
    const auto next = wire.nextEvent();
    timespec timeout{};
    if (next) {
        timeout = untilDeadline(*next);
    }
    const int rc = ppoll(fds.data(), fds.size(), next ? &timeout : nullptr, nullptr);
    if (rc < 0) {
        return errno == EINTR;
    }
    if (fds[1].revents != 0) {
        return false;
    }
    if (fds[0].revents & POLLIN) {
        std::array<std::uint8_t, 512> buffer;
        const ssize_t n = read(terminal.master(), buffer.data(), buffer.size());
        if (n > 0) {
            wire.receive(buffer.data(), static_cast<std::size_t>(n), Clock::now());
        }
    } else if (fds[0].revents != 0) {
        return false;  // the terminal itself failed; nothing can reach the logger any more
    }
    return true;
}

void SimulatedLogger::Impl::onFrame(const std::vector<std::uint8_t>& frame, Clock::time_point at) {
    std::vector<std::uint8_t> answer;
    {
        std::lock_guard lock(mutex);
        frames.push_back({at, frame});
        answer = model.answer(frame);
    }
    frameArrived.notify_all();
    wire.send(answer, at);
}

SimulatedLogger::SimulatedLogger(const LoggerConfig& config)
    : impl_(std::make_unique<Impl>(config)) {
    impl_->server = std::thread([impl = impl_.get()] { impl->serve(); });
}

SimulatedLogger::~SimulatedLogger() {
    impl_->stop.raise();
    impl_->server.join();
}

const std::string& SimulatedLogger::portPath() const {
    return impl_->terminal.slavePath();
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

void SimulatedLogger::wrongEchoAtDataLine(int k) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().wrongEchoAt = k;
}

void SimulatedLogger::powerCutAtDataLine(int k) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().powerCutAt = k;
}

void SimulatedLogger::powerCutAtJump() {
    std::lock_guard lock(impl_->mutex);
    impl_->model.faults().powerCutAtJump = true;
}

void SimulatedLogger::restart() {
    std::lock_guard lock(impl_->mutex);
    impl_->model.restart();
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
