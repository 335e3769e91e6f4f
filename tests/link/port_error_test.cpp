// The reason the port layer keeps for a failed open, read or write, against real
// pseudo-terminals: what the link thread passes on to the user.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "link/port_error.h"
#include "link/serial_port.h"
#include "tests/support/bare_terminal.h"

namespace pelion {
namespace {

class PortErrorTest : public testing::Test {
protected:
    void SetUp() override { clearPortError(); }
    void TearDown() override {
        if (other_ >= 0) {
            close(other_);
        }
    }

    test::BareTerminal terminal_;
    const std::string slavePath_ = terminal_.slavePath();
    int other_ = -1;  // the slave side as another program holds it
};

TEST_F(PortErrorTest, MissingPortIsNoSuchDevice) {
    EXPECT_EQ(openComPort("/dev/no-such-logger", 9600), cINVALID_PORT);
    EXPECT_EQ(lastPortError(), (PortError{PortFailure::noSuchDevice, ENOENT}));
}

// Root passes TIOCEXCL when it opens, so the layer asks the tty whether someone holds it.
TEST_F(PortErrorTest, PortHeldExclusivelyByAnotherProgramIsHeldElsewhere) {
    other_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other_, 0);
    ASSERT_EQ(ioctl(other_, TIOCEXCL), 0);
    EXPECT_EQ(openComPort(slavePath_, 9600), cINVALID_PORT);
    EXPECT_EQ(lastPortError(), (PortError{PortFailure::heldElsewhere, EBUSY}));
}

TEST_F(PortErrorTest, PortThisProgramHoldsIsHeldElsewhere) {
    const ComPort first = openComPort(slavePath_, 9600);
    ASSERT_NE(first, cINVALID_PORT);
    EXPECT_EQ(openComPort(slavePath_, 9600), cINVALID_PORT);
    EXPECT_EQ(lastPortError().failure, PortFailure::heldElsewhere);
    closeComPort(first);
}

TEST_F(PortErrorTest, DeviceThatIsNoTerminalIsRefused) {
    EXPECT_EQ(openComPort("/dev/null", 9600), cINVALID_PORT);
    EXPECT_EQ(lastPortError(), (PortError{PortFailure::notATerminal, 0}));
}

TEST_F(PortErrorTest, FarEndClosedDuringARunIsDeviceGone) {
    const ComPort port = openComPort(slavePath_, 9600);
    ASSERT_NE(port, cINVALID_PORT);
    terminal_.hangUp();
    std::uint8_t buffer[8] = {};
    std::uint32_t count = 0;
    EXPECT_FALSE(readComPort(port, buffer, sizeof buffer, count));
    EXPECT_EQ(lastPortError().failure, PortFailure::deviceGone);
    closeComPort(port);
}

TEST(PortErrorPacking, ReasonAndSystemCodeSurviveTheNotificationValue) {
    for (const PortError error :
         {PortError{PortFailure::notPermitted, EACCES}, PortError{PortFailure::deviceGone, 0},
          PortError{PortFailure::other, 0x00ABCDEF}}) {
        EXPECT_EQ(unpackPortError(packPortError(error)), error);
    }
    EXPECT_EQ(unpackPortError(-1).failure, PortFailure::other);
}

}  // namespace
}  // namespace pelion
