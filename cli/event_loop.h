// The command line's one loop: worker notifications in posting order (per run), delayed actions
// and the Ctrl-C request, all handled on the main thread. Several runs (one per port) share the
// loop; each posts through a target of its own, which tags its notifications with its number.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "link/notify.h"

namespace pelion::cli {

class EventLoop {
public:
    explicit EventLoop(std::atomic<bool>& interruptRequested);

    // The target to hand to every worker of run number `run`.
    NotificationTargetPtr targetOf(std::size_t run) const;

    void callLater(std::chrono::milliseconds delay, std::function<void()> action);

    struct Handlers {
        std::function<void(std::size_t run, const Notification&)> notification;
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

    struct Posted {
        std::size_t run;
        Notification notification;
    };
    class Queue;
    class RunTarget;

    std::atomic<bool>& interruptRequested_;
    std::shared_ptr<Queue> queue_;
    std::vector<Delayed> delayed_;
};

}  // namespace pelion::cli
