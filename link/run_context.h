// What one run is handed when it starts: where its notifications go and the cancel request its
// front end may raise while it runs. The front end and the worker share it; nothing else does,
// so runs on several ports never see each other's state. The device dialogue adds what it
// reads to a class of its own (update/update_context.h).
#pragma once

#include <atomic>
#include <memory>

#include "link/notify.h"

namespace pelion {

class RunContext {
public:
    explicit RunContext(NotificationTargetPtr target) : hWindow(std::move(target)) {}
    virtual ~RunContext() = default;
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    const NotificationTargetPtr hWindow;
    // Set by the front end (Cancel, Ctrl-C); the worker looks at it before every attempt.
    std::atomic<bool> bCancel{false};
};

using RunContextPtr = std::shared_ptr<RunContext>;

}  // namespace pelion
