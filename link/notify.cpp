#include "link/notify.h"

namespace pelion {

void NotificationQueue::post(std::uint32_t code, std::int32_t value) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({code, value});
    }
    posted_.notify_one();
}

Notification NotificationQueue::take() {
    std::unique_lock lock(mutex_);
    posted_.wait(lock, [this] { return !queue_.empty(); });
    Notification n = queue_.front();
    queue_.pop_front();
    return n;
}

std::optional<Notification> NotificationQueue::takeFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!posted_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) {
        return std::nullopt;
    }
    Notification n = queue_.front();
    queue_.pop_front();
    return n;
}

}  // namespace pelion
