// Tells the window thread when a serial port has come or gone, so the port list can be rebuilt.
#pragma once

#include <QObject>
#include <QWidget>
#include <memory>

namespace pelion {

class PortWatch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // The watch of this platform for the window that shows the port list; it may never signal
    // when the system offers no way to watch.
    static std::unique_ptr<PortWatch> create(QWidget* window);

signals:
    void portsChanged();
};

}  // namespace pelion
