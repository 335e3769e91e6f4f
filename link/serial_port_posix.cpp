// POSIX serial port: a tty in raw mode, non-blocking underneath, with the read and write
// deadlines of the logger protocol kept by poll().
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <iterator>

#include "link/serial_port.h"

namespace pelion {

namespace {

using Clock = std::chrono::steady_clock;

struct BaudSpeed {
    std::uint32_t baud;
    speed_t speed;
};

constexpr BaudSpeed kBaudSpeeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600},   {115200, B115200},
};

bool toSpeed(std::uint32_t baud, speed_t& speed) {
    for (const auto& entry : kBaudSpeeds) {
        if (entry.baud == baud) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

std::string devicePath(const std::string& sPort) {
    return !sPort.empty() && sPort[0] == '/' ? sPort : "/dev/" + sPort;
}

// 8N1 raw, no flow control of any kind, reads never block in the driver.
bool applyLineSettings(int fd, std::uint32_t baudRate) {
    speed_t speed{};
    termios tio{};
    if (!toSpeed(baudRate, speed) || tcgetattr(fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE | HUPCL);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return cfsetispeed(&tio, speed) == 0 && cfsetospeed(&tio, speed) == 0 &&
           tcsetattr(fd, TCSANOW, &tio) == 0;
}

// DTR on, RTS off. A pseudo-terminal has no modem lines; only that refusal is let pass.
bool setModemLines(int fd) {
    const int dtr = TIOCM_DTR;
    const int rts = TIOCM_RTS;
    if (ioctl(fd, TIOCMBIS, &dtr) == 0 && ioctl(fd, TIOCMBIC, &rts) == 0) {
        return true;
    }
    return errno == ENOTTY || errno == EINVAL;
}

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the port to become ready for `events`; false on a poll failure or a hang-up.
enum class Wait { ready, timedOut, failed };

Wait waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int rc = poll(&p, 1, remainingMs(deadline));
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        if (rc < 0) {
            return Wait::failed;
        }
        if (rc == 0) {
            return Wait::timedOut;
        }
        if (p.revents & events) {
            return Wait::ready;
        }
        return Wait::failed;  // POLLHUP, POLLERR or POLLNVAL without data: the device is gone
    }
}

}  // namespace

ComPort openComPort(const std::string& sPort, std::uint32_t baudRate) {
    const int fd = open(devicePath(sPort).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return cINVALID_PORT;
    }
    // TIOCEXCL keeps other users out but not root; the lock on the open file keeps out every
    // other open, root and this very process included.
    const bool ok = flock(fd, LOCK_EX | LOCK_NB) == 0 && ioctl(fd, TIOCEXCL) == 0 &&
                    applyLineSettings(fd, baudRate) && setModemLines(fd);
    if (!ok) {
        close(fd);
        return cINVALID_PORT;
    }
    return fd;
}

void closeComPort(ComPort hPort) {
    close(static_cast<int>(hPort));
}

bool clearComError(ComPort hPort) {
    return fcntl(static_cast<int>(hPort), F_GETFL) != -1;
}

bool purgeComPort(ComPort hPort) {
    return tcflush(static_cast<int>(hPort), TCIOFLUSH) == 0;
}

bool writeComPort(ComPort hPort, const std::uint8_t* data, std::uint32_t n,
                  std::uint32_t& written) {
    const int fd = static_cast<int>(hPort);
    const auto deadline = Clock::now() + std::chrono::milliseconds(n);
    written = 0;
    while (written < n) {
        const ssize_t rc = write(fd, data + written, n - written);
        if (rc > 0) {
            written += static_cast<std::uint32_t>(rc);
            continue;
        }
        if (rc < 0 && errno != EAGAIN && errno != EINTR) {
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

bool readComPort(ComPort hPort, std::uint8_t* data, std::uint32_t n, std::uint32_t& received) {
    const int fd = static_cast<int>(hPort);
    const auto deadline = Clock::now() + std::chrono::milliseconds(n + 200);
    received = 0;
    while (received < n) {
        const ssize_t rc = read(fd, data + received, n - received);
        if (rc > 0) {
            received += static_cast<std::uint32_t>(rc);
            continue;
        }
        if (rc < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        const Wait w = waitFor(fd, POLLIN, deadline);
        if (w == Wait::timedOut) {
            return true;
        }
        if (w == Wait::failed) {
            return false;
        }
    }
    return true;
}

}  // namespace pelion
