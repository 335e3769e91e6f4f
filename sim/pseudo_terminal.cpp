#include "sim/pseudo_terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace pelion::sim {

namespace {

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// Raw 8N1 at 9600 baud, no echo: the terminal must never answer the updater by itself.
// Terminal settings made through the master side apply to the slave side.
bool makeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

PseudoTerminal::PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        fail("posix_openpt");
    }
    char name[128];
    // Raw before unlockpt: nobody can open the slave side while it still echoes.
    if (!makeRaw(master_) || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        const int err = errno;
        close(master_);
        throw std::system_error(err, std::generic_category(), "pseudo-terminal set-up");
    }
    slavePath_ = name;
    slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0 || fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
        const int err = errno;
        if (slave_ >= 0) {
            close(slave_);
        }
        close(master_);
        throw std::system_error(err, std::generic_category(), "pseudo-terminal slave side");
    }
}

PseudoTerminal::~PseudoTerminal() {
    close(slave_);
    close(master_);
}

void PseudoTerminal::dropExclusiveClaim() {
    ioctl(slave_, TIOCNXCL);
}

}  // namespace pelion::sim
