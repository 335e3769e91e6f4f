#include "ui/ui_notification_target.h"

#include <QCoreApplication>

namespace pelion {

QEvent::Type NotificationEvent::type() {
    static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
    return registered;
}

void UiNotificationTarget::post(std::uint32_t code, std::int32_t value) {
    std::lock_guard lock(mutex_);
    if (receiver_ != nullptr) {
        QCoreApplication::postEvent(receiver_, new NotificationEvent(code, value));
    }
}

void UiNotificationTarget::detach() {
    std::lock_guard lock(mutex_);
    receiver_ = nullptr;
}

}  // namespace pelion
