// Runs one worker against the simulated logger and gathers what it posts, for the tests of the
// link thread and of the update procedure.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "link/comm_thread.h"
#include "link/notify.h"
#include "sim/simulated_logger.h"

namespace pelion {

// Readable notifications in test failures.
inline std::ostream& operator<<(std::ostream& os, const Notification& n) {
    return os << "{" << n.code << ", " << n.value << "}";
}

}  // namespace pelion

namespace pelion::test {

inline bool isOutcome(const Notification& n) {
    return n.code == cNT_FINISHED || n.code == cNT_ABORTED || n.code == cNT_RETRY;
}

// A queue that first shows each notification to a hook, on the worker thread and before the
// worker goes on: a test can change the logger or cancel at an exact point of the run.
class HookedQueue : public NotificationQueue {
public:
    using Hook = std::function<void(const Notification&)>;
    explicit HookedQueue(Hook hook) : hook_(std::move(hook)) {}

    void post(std::uint32_t code, std::int32_t value) override {
        if (hook_) {
            hook_({code, value});
        }
        NotificationQueue::post(code, value);
    }

private:
    const Hook hook_;
};

// Runs `worker` (handed `run`) on a thread of its own and returns its notifications up to and
// including its outcome. A run that has not ended after `patience` is cancelled and reported as a
// failure.
inline std::vector<Notification> collectRun(
    TCommThread& worker, RunContext& run, NotificationQueue& queue,
    std::chrono::seconds patience = std::chrono::seconds(120)) {
    std::thread thread([&worker] { worker.Execute(); });
    std::vector<Notification> notes;
    for (;;) {
        const auto n = queue.takeFor(patience);
        if (!n) {
            ADD_FAILURE() << "the run did not end";
            run.bCancel = true;
            break;
        }
        notes.push_back(*n);
        if (isOutcome(*n)) {
            break;
        }
    }
    thread.join();
    if (const auto late = queue.takeFor(std::chrono::milliseconds(0))) {
        ADD_FAILURE() << "notification after the outcome: " << *late;
    }
    return notes;
}

// A frame as text: a line as it stands, a command frame as hex bytes ("81 00 ... AA").
inline std::string frameText(const sim::ReceivedFrame& frame) {
    if (!frame.bytes.empty() && frame.bytes.front() == ':') {
        return std::string(frame.bytes.begin(), frame.bytes.end());
    }
    std::string text;
    for (std::uint8_t b : frame.bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%s%02X", text.empty() ? "" : " ", b);
        text += pair;
    }
    return text;
}

// The frames the logger received, once at least `count` have arrived (the last frames of a
// run need not have been read by the logger when the run posts its outcome).
inline std::vector<std::string> wireAfter(const sim::SimulatedLogger& sim, std::size_t count) {
    EXPECT_TRUE(sim.waitForReceived(count, std::chrono::seconds(10)))
        << "fewer than " << count << " frames arrived";
    std::vector<std::string> texts;
    for (const auto& frame : sim.received()) {
        texts.push_back(frameText(frame));
    }
    return texts;
}

inline const std::string cNULL_FRAME_TEXT = "00 00 00 00 00 00 00 00";
inline const std::string cIDENTITY_QUERY = "81 00 00 00 00 00 00 AA";

}  // namespace pelion::test
