// The POSIX serial port against a real pseudo-terminal: the test holds the master side, the far
// end of the wire, and the port under test opens the slave side by its path.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "link/port_error.h"
#include "link/serial_port.h"
#include "tests/support/bare_terminal.h"

namespace pelion {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int cPATIENCE_MS = 5000;  // only a broken port ever waits this long

class FarEnd {
public:
    const std::string& slavePath() const { return terminal_.slavePath(); }
    int fd() const { return terminal_.master(); }

    void send(const Bytes& bytes) {
        ASSERT_EQ(write(fd(), bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    // Whatever the port sent, until n bytes have come.
    Bytes receive(std::size_t n) {
        Bytes got;
        while (got.size() < n) {
            pollfd p{fd(), POLLIN, 0};
            if (poll(&p, 1, cPATIENCE_MS) <= 0) {
                break;
            }
            std::uint8_t chunk[512];
            const ssize_t rc = read(fd(), chunk, std::min(sizeof chunk, n - got.size()));
            if (rc <= 0) {
                break;
            }
            got.insert(got.end(), chunk, chunk + rc);
        }
        return got;
    }

    // Sends `bytes` as a USB serial adapter passes them on: `burst` at a time, `gap` apart.
    // Each burst has its own moment from the start, so that a sleep that overruns on a loaded
    // machine does not push every later burst back.
    void sendInBursts(const Bytes& bytes, std::size_t burst, milliseconds gap) {
        const auto start = Clock::now();
        for (std::size_t at = 0; at < bytes.size(); at += burst) {
            std::this_thread::sleep_until(start + gap * static_cast<int>(at / burst));
            const std::size_t n = std::min(burst, bytes.size() - at);
            ASSERT_EQ(write(fd(), bytes.data() + at, n), ssize_t(n));
        }
    }

    void hangUp() { terminal_.hangUp(); }

private:
    test::BareTerminal terminal_;
};

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(far.slavePath().empty()) << "no pseudo-terminal"; }
    void TearDown() override {
        for (ComPort port : opened) {
            closeComPort(port);
        }
    }

    ComPort open(const std::string& name, std::uint32_t baud = 9600) {
        const ComPort port = openComPort(name, baud);
        if (port != cINVALID_PORT) {
            opened.push_back(port);
        }
        return port;
    }
    void close(ComPort port) {
        closeComPort(port);
        std::erase(opened, port);
    }

    static bool waitForInput(ComPort port) {
        pollfd p{static_cast<int>(port), POLLIN, 0};
        return poll(&p, 1, cPATIENCE_MS) == 1;
    }

    FarEnd far;
    std::vector<ComPort> opened;
};

TEST_F(SerialPortTest, PortThatDoesNotExistDoesNotOpen) {
    EXPECT_EQ(open("/dev/pelion-no-such-port"), cINVALID_PORT);
    EXPECT_EQ(open("pelion-no-such-port"), cINVALID_PORT);
    EXPECT_EQ(open(""), cINVALID_PORT);
}

TEST_F(SerialPortTest, HeldPortDoesNotOpenTwiceAndOpensAgainAfterClose) {
    const ComPort first = open(far.slavePath());
    ASSERT_NE(first, cINVALID_PORT);
    EXPECT_EQ(open(far.slavePath()), cINVALID_PORT);

    // The refused second open leaves the first one working.
    const Bytes frame{0x81, 0, 0, 0, 0, 0, 0, 0xAA};
    std::uint32_t written = 0;
    ASSERT_TRUE(writeComPort(first, frame.data(), 8, written));
    EXPECT_EQ(far.receive(8), frame);

    close(first);
    EXPECT_NE(open(far.slavePath()), cINVALID_PORT);
}

TEST_F(SerialPortTest, FailedOpenLeavesThePortFree) {
    EXPECT_EQ(open(far.slavePath(), 12345), cINVALID_PORT);  // no such line speed
    EXPECT_NE(open(far.slavePath()), cINVALID_PORT);
}

TEST_F(SerialPortTest, NameWithoutLeadingSlashIsFoundBelowDev) {
    const std::string prefix = "/dev/";
    ASSERT_EQ(far.slavePath().rfind(prefix, 0), 0u);
    const ComPort port = open(far.slavePath().substr(prefix.size()));  // "pts/N"
    ASSERT_NE(port, cINVALID_PORT);
    EXPECT_EQ(open(far.slavePath()), cINVALID_PORT);  // it really is that port
}

TEST_F(SerialPortTest, LineIsSetTo9600Baud8N1WithoutFlowControl) {
    ASSERT_NE(open(far.slavePath()), cINVALID_PORT);
    termios tio{};
    ASSERT_EQ(tcgetattr(far.fd(), &tio), 0);  // the master reports the slave's settings
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B9600));
    EXPECT_EQ(cfgetispeed(&tio), speed_t(B9600));
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
}

TEST_F(SerialPortTest, EveryByteValuePassesUnchangedBothWays) {
    const ComPort port = open(far.slavePath());
    ASSERT_NE(port, cINVALID_PORT);
    Bytes all(256);
    std::iota(all.begin(), all.end(), 0);

    std::uint32_t written = 0;
    ASSERT_TRUE(writeComPort(port, all.data(), 256, written));
    EXPECT_EQ(written, 256u);
    EXPECT_EQ(far.receive(256), all);

    far.send(all);
    Bytes got(256);
    std::uint32_t received = 0;
    ASSERT_TRUE(readComPort(port, got.data(), 256, received));
    EXPECT_EQ(received, 256u);
    EXPECT_EQ(got, all);

    // Nothing was echoed back: the next byte the far end sees is the port's own.
    const std::uint8_t marker = 0x5A;
    ASSERT_TRUE(writeComPort(port, &marker, 1, written));
    EXPECT_EQ(far.receive(1), Bytes{marker});
}

TEST_F(SerialPortTest, ReadOfFewerBytesThanAskedIsAShortCountNotAFailure) {
    const ComPort port = open(far.slavePath());
    ASSERT_NE(port, cINVALID_PORT);
    far.send({0xC8, 0x02, 0x03});
    std::uint8_t answer[8] = {};
    std::uint32_t received = 99;
    ASSERT_TRUE(readComPort(port, answer, 8, received));
    ASSERT_EQ(received, 3u);
    EXPECT_EQ(Bytes(answer, answer + 3), (Bytes{0xC8, 0x02, 0x03}));

    ASSERT_TRUE(readComPort(port, answer, 8, received));
    EXPECT_EQ(received, 0u);
}

// Only the input side can be watched here: a pseudo-terminal hands written bytes to the far end
// at once, so no output is ever left waiting to be discarded.
TEST_F(SerialPortTest, PurgeDropsPendingInput) {
    const ComPort port = open(far.slavePath());
    ASSERT_NE(port, cINVALID_PORT);
    far.send({'l', 'a', 't', 'e'});
    ASSERT_TRUE(waitForInput(port));

    ASSERT_TRUE(purgeComPort(port));

    std::uint8_t got[4] = {};
    std::uint32_t count = 0;
    ASSERT_TRUE(readComPort(port, got, 4, count));
    EXPECT_EQ(count, 0u) << "input survived the purge";
    far.send({'n', 'e', 'w'});
    ASSERT_TRUE(readComPort(port, got, 3, count));
    EXPECT_EQ(Bytes(got, got + count), (Bytes{'n', 'e', 'w'}));
}

// An echoed line of 139 characters, as a USB adapter with the default 16 ms latency timer hands
// it over at 9600 baud: fifteen characters a packet.
Bytes echoedLine() {
    Bytes line(139);
    std::iota(line.begin(), line.end(), 0x20);
    return line;
}

TEST_F(SerialPortTest, AnswerArrivingInBurstsIsReturnedWhole) {
    const ComPort port = open(far.slavePath());
    ASSERT_NE(port, cINVALID_PORT);
    const Bytes line = echoedLine();
    struct Bursts {
        std::size_t bytes;
        milliseconds gap;
    };
    // Byte by byte at about the line's own rate: the last byte comes some 140 ms after the
    // first, inside the read's 339 ms with room for a loaded machine.
    for (const Bursts b :
         {Bursts{15, milliseconds(2)}, Bursts{62, milliseconds(2)}, Bursts{1, milliseconds(1)}}) {
        std::thread adapter([&] { far.sendInBursts(line, b.bytes, b.gap); });
        Bytes got(line.size());
        std::uint32_t received = 0;
        const bool ok = readComPort(port, got.data(), 139, received);
        adapter.join();
        ASSERT_TRUE(ok) << b.bytes << " bytes a burst";
        EXPECT_EQ(received, 139u) << b.bytes << " bytes a burst";
        EXPECT_EQ(got, line) << b.bytes << " bytes a burst";
    }
}

// However the bytes come, a read that does not get all of them waits its whole time-out, n + 200
// ms, and then gives what came.
TEST_F(SerialPortTest, AnswerCutShortInBurstsWaitsItsTimeOutAndGivesWhatCame) {
    const ComPort port = open(far.slavePath());
    ASSERT_NE(port, cINVALID_PORT);
    struct Case {
        std::uint32_t asked;
        std::size_t sent;
    };
    const Bytes line = echoedLine();
    for (const Case c : {Case{8, 7}, Case{139, 124}, Case{13, 0}}) {
        ASSERT_TRUE(purgeComPort(port));
        const Bytes part(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(c.sent));
        const auto start = Clock::now();
        std::thread adapter([&] { far.sendInBursts(part, 15, milliseconds(16)); });
        Bytes got(c.asked);
        std::uint32_t received = 99;
        const bool ok = readComPort(port, got.data(), c.asked, received);
        const auto waited = Clock::now() - start;
        adapter.join();
        ASSERT_TRUE(ok) << "asked " << c.asked;
        EXPECT_EQ(received, c.sent) << "asked " << c.asked;
        EXPECT_EQ(Bytes(got.begin(), got.begin() + received), part) << "asked " << c.asked;
        EXPECT_GE(waited, milliseconds(c.asked + 200)) << "asked " << c.asked;
    }
}

// A time-out would give a short count and success; the device gone is a failure, and it ends
// the read as it happens.
TEST_F(SerialPortTest, HangUpDuringAPartialAnswerEndsTheReadAsAFailure) {
    const ComPort port = open(far.slavePath());
    ASSERT_NE(port, cINVALID_PORT);
    const Bytes line = echoedLine();
    far.send(Bytes(line.begin(), line.begin() + 45));
    std::thread pull([&] {
        std::this_thread::sleep_for(milliseconds(30));
        far.hangUp();
    });
    Bytes got(139);
    std::uint32_t received = 0;
    clearPortError();
    const bool ok = readComPort(port, got.data(), 139, received);
    pull.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(lastPortError().failure, PortFailure::deviceGone);
}

TEST_F(SerialPortTest, ClosedFarEndIsAnIoFailure) {
    const ComPort port = open(far.slavePath());
    ASSERT_NE(port, cINVALID_PORT);
    EXPECT_TRUE(clearComError(port));
    far.hangUp();

    EXPECT_FALSE(clearComError(port));
    std::uint8_t buffer[8] = {};
    std::uint32_t count = 0;
    EXPECT_FALSE(readComPort(port, buffer, 8, count));
    EXPECT_FALSE(writeComPort(port, buffer, 8, count));
}

}  // namespace
}  // namespace pelion
