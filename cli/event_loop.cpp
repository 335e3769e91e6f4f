#include "cli/event_loop.h"

#include <algorithm>

namespace pelion::cli {

namespace {

// How often the loop looks at the Ctrl-C flag while nothing else happens.
constexpr std::chrono::milliseconds cINTERRUPT_POLL{50};

}  // namespace

EventLoop::EventLoop(std::atomic<bool>& interruptRequested)
    : interruptRequested_(interruptRequested) {}

void EventLoop::callLater(std::chrono::milliseconds delay, std::function<void()> action) {
    delayed_.push_back({std::chrono::steady_clock::now() + delay, std::move(action)});
}

void EventLoop::run(const Handlers& handlers) {
    while (!handlers.finished()) {
        if (interruptRequested_.exchange(false)) {
            handlers.interrupt();
        }
        if (const auto n = queue_->takeFor(nextWait())) {
            handlers.notification(*n);
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
