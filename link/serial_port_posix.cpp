// POSIX serial port: a tty in raw mode, non-blocking underneath, with the read and write
// deadlines of the logger protocol kept by poll().
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>

#include "link/link_timing.h"
#include "link/port_error.h"
#include "link/serial_port.h"

namespace pelion {

namespace {

using Clock = std::chrono::steady_clock;

struct BaudSpeed {
    std::uint32_t baud;
    speed_t speed;
};

constexpr BaudSpeed cBAUD_SPEEDS[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
};

bool toSpeed(std::uint32_t baud, speed_t& speed) {
    for (const auto& entry : cBAUD_SPEEDS) {
        if (entry.baud == baud) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

// 8N1 raw, no flow control of any kind, reads never block in the driver. HUPCL drops the modem
// lines when the port is closed, so DTR is raised only while the updater holds the port.
bool applyLineSettings(int fd, std::uint32_t baudRate) {
    speed_t speed{};
    termios tio{};
    if (!toSpeed(baudRate, speed) || tcgetattr(fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD | HUPCL;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return cfsetispeed(&tio, speed) == 0 && cfsetospeed(&tio, speed) == 0 &&
           tcsetattr(fd, TCSANOW, &tio) == 0;
}

// DTR on, RTS off. A port without modem lines (a pseudo-terminal) refuses the request as an
// unknown one (ENOTTY; EINVAL from older USB serial drivers); only that refusal is let pass.
bool setModemLines(int fd) {
    const int dtr = TIOCM_DTR;
    const int rts = TIOCM_RTS;
    if (ioctl(fd, TIOCMBIS, &dtr) == 0 && ioctl(fd, TIOCMBIC, &rts) == 0) {
        return true;
    }
    return errno == ENOTTY || errno == EINVAL;
}

// What the updater changes on a port and puts back when it closes it, so that the port is left
// as it was found, however the run ended: the terminal settings (a terminal named by mistake
// must not stay raw at 9600 baud, and the next program on the port finds its own settings), and
// the latency timer of a USB serial adapter.
//
// An adapter holds received bytes back for up to its latency timer (16 ms by default on the
// common chips) before it sends them on. Linux drivers that can shorten it take the request
// for low latency (their 1 ms). Ports that know no such setting (a pseudo-terminal, most UARTs)
// refuse, which is let pass: the update works the same, only slower.
class PortSettings {
public:
    bool save(int fd) {
        termios previous{};
        if (tcgetattr(fd, &previous) != 0) {
            return false;
        }
        std::lock_guard lock(mutex_);
        saved_[fd] = {previous, std::nullopt};
        return true;
    }

    void askLowLatency(int fd) {
        serial_struct previous{};
        if (ioctl(fd, TIOCGSERIAL, &previous) != 0 || (previous.flags & ASYNC_LOW_LATENCY) != 0) {
            return;
        }
        serial_struct low = previous;
        low.flags |= ASYNC_LOW_LATENCY;
        if (ioctl(fd, TIOCSSERIAL, &low) == 0) {
            std::lock_guard lock(mutex_);
            saved_[fd].latency = previous;
        }
    }

    // DTR goes down first, as the updater raised it only for its own use of the port; restored
    // settings without HUPCL would otherwise leave it up after the close.
    void restore(int fd) {
        std::lock_guard lock(mutex_);
        const auto it = saved_.find(fd);
        if (it == saved_.end()) {
            return;
        }
        if (it->second.latency) {
            ioctl(fd, TIOCSSERIAL, &*it->second.latency);
        }
        const int dtr = TIOCM_DTR;
        ioctl(fd, TIOCMBIC, &dtr);
        tcsetattr(fd, TCSANOW, &it->second.terminal);
        saved_.erase(it);
    }

private:
    struct Saved {
        termios terminal;
        std::optional<serial_struct> latency;
    };

    std::mutex mutex_;  // several runs open and close ports at once
    std::map<int, Saved> saved_;
};

// Never destroyed: a worker may close its port while the program is already ending.
PortSettings& portSettings() {
    static auto* settings = new PortSettings;
    return *settings;
}

// Whether the device is a terminal, told without opening it: opening a device can do things
// of its own (rewind a tape, dial a modem), so nothing that is not a terminal is opened. A
// pseudo-terminal lives on devpts; every other terminal device belongs to the tty class in
// sysfs. Without sysfs this cannot be told, and the check after the open has to do.
bool isTerminalDevice(const std::string& path, dev_t device) {
    struct statfs fileSystem {};
    if (statfs(path.c_str(), &fileSystem) == 0 && fileSystem.f_type == DEVPTS_SUPER_MAGIC) {
        return true;
    }
    const std::string sysDevice =
        "/sys/dev/char/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    char subsystem[256];
    const ssize_t n = readlink((sysDevice + "/subsystem").c_str(), subsystem, sizeof subsystem - 1);
    if (n < 0) {
        return access("/sys/dev/char", F_OK) != 0;
    }
    return std::string_view(subsystem, static_cast<std::size_t>(n)).ends_with("/tty");
}

// The port's device before it is opened: a character device that is a terminal.
bool checkBeforeOpen(const std::string& path, dev_t& device) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        recordPortError(openFailure(errno), errno);
        return false;
    }
    if (!S_ISCHR(info.st_mode) || !isTerminalDevice(path, info.st_rdev)) {
        recordPortError(PortFailure::notATerminal, 0);
        return false;
    }
    device = info.st_rdev;
    return true;
}

// The open file is the device checked (not one put in its place since) and a terminal, and not
// the terminal this program runs in (a user's own pts named by mistake): the kernel tells a
// terminal's session only to processes of that session.
bool checkAfterOpen(int fd, dev_t device) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode) || info.st_rdev != device ||
        isatty(fd) != 1) {
        recordPortError(PortFailure::notATerminal, 0);
        return false;
    }
    pid_t session = 0;
    if (ioctl(fd, TIOCGSID, &session) == 0) {
        recordPortError(PortFailure::ownTerminal, 0);
        return false;
    }
    return true;
}

// Takes the port for this open file alone. TIOCEXCL keeps out other users but not root; the lock
// on the open file keeps out every other open through this layer, root and this very process
// included. A port that another program holds exclusively is refused even though root could
// pass its TIOCEXCL.
bool takeExclusive(int fd) {
    int heldElsewhere = 0;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCGEXCL, &heldElsewhere) != 0) {
        recordPortError(openFailure(errno), errno);
        return false;
    }
    if (heldElsewhere != 0) {
        recordPortError(PortFailure::heldElsewhere, EBUSY);
        return false;
    }
    if (ioctl(fd, TIOCEXCL) != 0) {
        recordPortError(openFailure(errno), errno);
        return false;
    }
    return true;
}

// The exclusive flag belongs to the tty, not to the open file: it would outlive this open while
// anyone else keeps the tty open (a simulator holding its own slave side) and lock out the next
// open by an ordinary user.
void closeExclusive(int fd) {
    portSettings().restore(fd);
    ioctl(fd, TIOCNXCL);
    close(fd);
}

bool hungUp(short revents) {
    return (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// Rounded up: poll() never returns before the deadline it was given.
int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the port to become ready for `events`. A device that is gone (unplugged, or the far
// end of a pseudo-terminal closed) reports itself readable for ever while reads return nothing,
// so a hang-up is a failure even when the ready bit is set too.
enum class Wait { ready, timedOut, failed };

Wait waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int rc = poll(&p, 1, remainingMs(deadline));
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        if (rc < 0) {
            recordPortError(ioFailure(errno), errno);
            return Wait::failed;
        }
        if (rc == 0) {
            return Wait::timedOut;
        }
        if (hungUp(p.revents)) {
            recordPortError(PortFailure::deviceGone, 0);
            return Wait::failed;
        }
        return Wait::ready;
    }
}

// The terminal layer tells when an answer is complete. With VTIME 0 and VMIN set to a count,
// poll() reports the port readable only once that many bytes are queued (or the device hung
// up), however they come: one by one from a UART, or in the bursts of a USB adapter's packets.
// Reads themselves stay non-blocking, so VMIN governs nothing but this wake-up. VMIN holds at
// most 255.
constexpr std::uint32_t cMAX_WAKE_COUNT = 255;

bool wakeWhenQueued(int fd, std::uint32_t count) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return false;
    }
    const auto wakeCount = static_cast<cc_t>(std::min(count, cMAX_WAKE_COUNT));
    if (tio.c_cc[VMIN] == wakeCount && tio.c_cc[VTIME] == 0) {
        return true;
    }
    tio.c_cc[VMIN] = wakeCount;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Ten bit times (start, eight data bits, stop) at the port's rate; zero when it is not known.
std::chrono::microseconds characterTime(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return {};
    }
    const speed_t speed = cfgetispeed(&tio);
    for (const auto& entry : cBAUD_SPEEDS) {
        if (entry.speed == speed) {
            return std::chrono::microseconds(10'000'000 / entry.baud);
        }
    }
    return {};
}

// The kernel wakes a poll() that waits for input at every byte or packet that arrives, even
// while fewer than VMIN are queued; at 9600 baud that is a wake-up a millisecond. So once an
// answer has begun, the read sleeps through the time its missing characters take on the line
// at the least, where nothing but a hang-up wakes it, and only then waits for the count. The
// answer cannot be complete before: the logger sends at the line's rate, and an adapter only
// adds delay. One character is left out for the moment the read woke after the first bytes.
Wait sleepThroughLine(int fd, std::chrono::microseconds charTime, std::uint32_t missing,
                      Clock::time_point deadline) {
    const auto least = charTime * (missing - 1);
    const auto until =
        Clock::now() + linkWait(std::chrono::duration_cast<std::chrono::milliseconds>(least));
    return waitFor(fd, 0, std::min(until, deadline));
}

// Takes what is queued, up to n bytes in all. A read returns at most 64 bytes at a time while
// VMIN is above that, so it is repeated until the queue is empty.
bool takeQueued(int fd, std::uint8_t* data, std::uint32_t n, std::uint32_t& received) {
    while (received < n) {
        const ssize_t rc = read(fd, data + received, n - received);
        if (rc > 0) {
            received += static_cast<std::uint32_t>(rc);
        } else if (rc == 0 || errno == EAGAIN) {
            return true;
        } else if (errno != EINTR) {
            recordPortError(ioFailure(errno), errno);
            return false;
        }
    }
    return true;
}

}  // namespace

std::string comPortPath(const std::string& sPort) {
    return !sPort.empty() && sPort[0] == '/' ? sPort : "/dev/" + sPort;
}

ComPort openComPort(const std::string& sPort, std::uint32_t baudRate) {
    const std::string path = comPortPath(sPort);
    dev_t device{};
    if (!checkBeforeOpen(path, device)) {
        return cINVALID_PORT;
    }
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        recordPortError(openFailure(errno), errno);
        return cINVALID_PORT;
    }
    if (!checkAfterOpen(fd, device) || !takeExclusive(fd)) {
        close(fd);
        return cINVALID_PORT;
    }
    if (!portSettings().save(fd) || !applyLineSettings(fd, baudRate) || !setModemLines(fd)) {
        recordPortError(PortFailure::other, errno);
        closeExclusive(fd);
        return cINVALID_PORT;
    }
    portSettings().askLowLatency(fd);
    return fd;
}

void closeComPort(ComPort hPort) {
    closeExclusive(static_cast<int>(hPort));
}

// A tty keeps no error latch to clear; what is left to report is a port that has gone away.
bool clearComError(ComPort hPort) {
    pollfd p{static_cast<int>(hPort), 0, 0};
    if (poll(&p, 1, 0) < 0) {
        recordPortError(ioFailure(errno), errno);
        return false;
    }
    if (hungUp(p.revents)) {
        recordPortError(PortFailure::deviceGone, 0);
        return false;
    }
    return true;
}

// Only the input is discarded. A write here returns once the driver holds the bytes, not once
// they are on the wire, so flushing the output would take back a frame that was sent without
// awaiting an answer (a bootloader jump followed 1 ms later by the next exchange). Everything
// this layer has written counts as sent, as it does where a completed write means transmitted.
bool purgeComPort(ComPort hPort) {
    if (tcflush(static_cast<int>(hPort), TCIFLUSH) != 0) {
        recordPortError(ioFailure(errno), errno);
        return false;
    }
    return true;
}

bool writeComPort(ComPort hPort, const std::uint8_t* data, std::uint32_t n,
                  std::uint32_t& written) {
    const int fd = static_cast<int>(hPort);
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(n * cWRITE_MS_PER_BYTE + cWRITE_MS_EXTRA);
    written = 0;
    while (written < n) {
        const ssize_t rc = write(fd, data + written, n - written);
        if (rc > 0) {
            written += static_cast<std::uint32_t>(rc);
            continue;
        }
        if (rc < 0 && errno != EAGAIN && errno != EINTR) {
            recordPortError(ioFailure(errno), errno);
            return false;
        }
        const Wait w = waitFor(fd, POLLOUT, deadline);
        if (w == Wait::timedOut) {
            return true;
        }
        if (w == Wait::failed) {
            return false;
        }
    }
    return true;
}

// Three waits: for the answer's first bytes, through the least time the rest takes on the line,
// and for the rest. Each wakes once, the last when the answer is complete.
bool readComPort(ComPort hPort, std::uint8_t* data, std::uint32_t n, std::uint32_t& received) {
    const int fd = static_cast<int>(hPort);
    const auto deadline = Clock::now() + linkWait(std::chrono::milliseconds(n + 200));
    const auto charTime = characterTime(fd);
    received = 0;
    std::uint32_t wakeCount = 1;
    while (received < n) {
        if (!wakeWhenQueued(fd, wakeCount)) {
            recordPortError(ioFailure(errno), errno);
            return false;
        }
        const Wait w = waitFor(fd, POLLIN, deadline);
        if (w == Wait::failed || !takeQueued(fd, data, n, received)) {
            return false;
        }
        if (w == Wait::timedOut) {
            return true;
        }
        if (received < n &&
            sleepThroughLine(fd, charTime, n - received, deadline) == Wait::failed) {
            return false;
        }
        wakeCount = n - received;
    }
    return true;
}

}  // namespace pelion
