// Tells the window thread when a serial port has come or gone, so the port list can be rebuilt.
#pragma once

#include <QObject>
#include <memory>

namespace pelion {

class PortWatch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // The watch of this platform; it may never signal when the system offers no way to watch.
    static std::unique_ptr<PortWatch> create();

signals:
    void portsChanged();
};

}  // namespace pelion
