#include "cli/event_loop.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace pelion::cli {

namespace {

// How often the loop looks at the Ctrl-C flag while nothing else happens. The signal handler
// can only set the flag, so the loop has to look; every look is a wake-up of an otherwise idle
// program, the largest part of its CPU during an update when it came every 50 ms. A quarter of
// a second still answers Ctrl-C at once to a person, and the run itself only stops at its next
// exchange with the logger, which takes longer.
constexpr std::chrono::milliseconds cINTERRUPT_POLL{250};

}  // namespace

// In posting order across all runs; posted on worker threads, taken on the main thread.
class EventLoop::Queue {
public:
    void post(Posted posted) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(posted);
        }
        posted_.notify_one();
    }

    std::optional<Posted> takeFor(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        if (!posted_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) {
            return std::nullopt;
        }
        const Posted posted = queue_.front();
        queue_.pop_front();
        return posted;
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Posted> queue_;
};

class EventLoop::RunTarget : public NotificationTarget {
public:
    RunTarget(std::shared_ptr<Queue> queue, std::size_t run)
        : queue_(std::move(queue)), run_(run) {}
    void post(std::uint32_t code, std::int32_t value) override {
        queue_->post({run_, {code, value}});
    }

private:
    const std::shared_ptr<Queue> queue_;
    const std::size_t run_;
};

EventLoop::EventLoop(std::atomic<bool>& interruptRequested)
    : interruptRequested_(interruptRequested), queue_(std::make_shared<Queue>()) {}

NotificationTargetPtr EventLoop::targetOf(std::size_t run) const {
    return std::make_shared<RunTarget>(queue_, run);
}

void EventLoop::callLater(std::chrono::milliseconds delay, std::function<void()> action) {
    delayed_.push_back({std::chrono::steady_clock::now() + delay, std::move(action)});
}

void EventLoop::run(const Handlers& handlers) {
    while (!handlers.finished()) {
        if (interruptRequested_.exchange(false)) {
            handlers.interrupt();
        }
        if (const auto posted = queue_->takeFor(nextWait())) {
            handlers.notification(posted->run, posted->notification);
        }
        runDueActions();
    }
}

std::chrono::milliseconds EventLoop::nextWait() const {
    auto wait = cINTERRUPT_POLL;
    const auto now = std::chrono::steady_clock::now();
    for (const Delayed& d : delayed_) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(d.due - now);
        wait = std::clamp(left, std::chrono::milliseconds{0}, wait);
    }
    return wait;
}

void EventLoop::runDueActions() {
    const auto now = std::chrono::steady_clock::now();
    std::vector<std::function<void()>> due;
    for (auto it = delayed_.begin(); it != delayed_.end();) {
        if (it->due <= now) {
            due.push_back(std::move(it->action));
            it = delayed_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& action : due) {
        action();
    }
}

}  // namespace pelion::cli
