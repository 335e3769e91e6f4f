// Delivers a worker's notifications to a window as Qt events: posted from the worker thread,
// handled on the window thread in posting order, also inside the nested loops of modal windows.
// The worker holds the target by shared_ptr and may outlive the window; once the window has
// detached, late notifications are dropped.
#pragma once

#include <QEvent>
#include <QObject>
#include <cstdint>
#include <mutex>

#include "link/notify.h"

namespace pelion {

class NotificationEvent : public QEvent {
public:
    NotificationEvent(std::uint32_t code, std::int32_t value)
        : QEvent(type()), code(code), value(value) {}
    static QEvent::Type type();

    const std::uint32_t code;
    const std::int32_t value;
};

class UiNotificationTarget : public NotificationTarget {
public:
    explicit UiNotificationTarget(QObject* receiver) : receiver_(receiver) {}

    void post(std::uint32_t code, std::int32_t value) override;
    // From now on nothing reaches the receiver; call before the receiver goes away.
    void detach();

private:
    std::mutex mutex_;
    QObject* receiver_;
};

}  // namespace pelion
