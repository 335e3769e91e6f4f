// The command line's one loop: worker notifications in posting order, delayed actions and the
// Ctrl-C request, all handled on the main thread.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "link/notify.h"

namespace pelion::cli {

class EventLoop {
public:
    explicit EventLoop(std::atomic<bool>& interruptRequested);

    // The target to hand to every worker.
    std::shared_ptr<NotificationQueue> queue() const { return queue_; }

    void callLater(std::chrono::milliseconds delay, std::function<void()> action);

    struct Handlers {
        std::function<void(const Notification&)> notification;
        std::function<void()> interrupt;
        std::function<bool()> finished;
    };
    // Runs until `finished` says so.
    void run(const Handlers& handlers);

private:
    struct Delayed {
        std::chrono::steady_clock::time_point due;
        std::function<void()> action;
    };

    std::chrono::milliseconds nextWait() const;
    void runDueActions();

    std::atomic<bool>& interruptRequested_;
    std::shared_ptr<NotificationQueue> queue_ = std::make_shared<NotificationQueue>();
    std::vector<Delayed> delayed_;
};

}  // namespace pelion::cli
