// The window's port box follows USB serial adapters as they are plugged in and pulled out,
// with devices simulated by umockdev; a tty of another kind never shows.
#include "tests/devices/mock_devices.h"
#include "tests/gui/gui_fixture.h"

namespace pelion::test {
namespace {

const UsbAdapter cLOGGER_CABLE{"ttyUSB0", "0403", "6001", "FTDI", "FT232R USB UART", "A10K3XYZ"};

QStringList portBoxItems(const TfrmMain& main) {
    QStringList items;
    for (int i = 0; i < main.cbxPort->count(); ++i) {
        items << main.cbxPort->itemText(i);
    }
    return items;
}

class PortBoxDevices : public GuiTest {};

TEST_F(PortBoxDevices, PortBoxFollowsAnAdapterPluggedInAndPulledOut) {
    MockDevices devices;  // before the window, whose port watch listens to it
    devices.addPlainTty("ttyS0");
    GuiWindows& w = start(Mode::normal);
    EXPECT_EQ(portBoxItems(w.frmMain), QStringList{});

    const std::string cable = devices.plugIn(cLOGGER_CABLE);
    EXPECT_TRUE(waitFor([&] { return portBoxItems(w.frmMain) == QStringList{"ttyUSB0"}; }))
        << portBoxItems(w.frmMain).join(' ').toStdString();

    devices.pullOut(cable);
    EXPECT_TRUE(waitFor([&] { return portBoxItems(w.frmMain).isEmpty(); }))
        << portBoxItems(w.frmMain).join(' ').toStdString();
}

}  // namespace
}  // namespace pelion::test

int main(int argc, char** argv) {
    return pelion::test::runUnderMockDevices(argc, argv);
}
