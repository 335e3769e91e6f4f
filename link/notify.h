// Notifications from a worker run to its front end: (code, value) pairs, posted and never
// waited for. A front end implements NotificationTarget; the worker holds it by shared_ptr, so
// a late post after the front end has gone away lands in a live object and is dropped there.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace pelion {

// Notification codes (the "wParam").
inline constexpr std::uint32_t cNT_FINISHED = 0;
inline constexpr std::uint32_t cNT_PROGRESS = 1;
inline constexpr std::uint32_t cNT_ABORTED = 10;
inline constexpr std::uint32_t cNT_PROG_ERROR_LINE = 11;
inline constexpr std::uint32_t cNT_CONV_ERROR_LINE = 12;
inline constexpr std::uint32_t cNT_RETRY = 13;
inline constexpr std::uint32_t cNT_CLASS = 20;
inline constexpr std::uint32_t cNT_VERSION = 21;
inline constexpr std::uint32_t cNT_PLATFORM = 22;
inline constexpr std::uint32_t cNT_PRINT = 23;
inline constexpr std::uint32_t cNT_INFO = 24;
inline constexpr std::uint32_t cNT_UPDATE_CLASS = 25;
inline constexpr std::uint32_t cNT_UPDATE_START = 26;
inline constexpr std::uint32_t cNT_CHECK_IMAGE = 27;
inline constexpr std::uint32_t cNT_UPDATE_INFO = 28;
inline constexpr std::uint32_t cNT_VECTOR_TABLE = 40;
// Why the port failed, posted just before the cNT_ABORTED of a port that did not open or
// failed during the run (abort 10 or 11) when the port layer knows the reason. The value is a
// packed PortError (link/port_error.h). A front end that ignores it loses nothing else.
inline constexpr std::uint32_t cNT_PORT_FAILURE = 50;

struct Notification {
    std::uint32_t code;  // cNT_...
    std::int32_t value;  // 16-bit logger values arrive zero-extended

    bool operator==(const Notification&) const = default;
};

// Receives a worker's notifications. post() is called on the worker thread, must be
// thread-safe, must keep posting order, and must not block on the front end.
class NotificationTarget {
public:
    virtual ~NotificationTarget() = default;
    virtual void post(std::uint32_t code, std::int32_t value) = 0;
};

using NotificationTargetPtr = std::shared_ptr<NotificationTarget>;

// An in-order queue: the target of a front end that runs its own loop (the command line,
// tests). take() waits for the next notification.
class NotificationQueue : public NotificationTarget {
public:
    void post(std::uint32_t code, std::int32_t value) override;
    Notification take();
    std::optional<Notification> takeFor(std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Notification> queue_;
};

}  // namespace pelion
