// Test support: a pseudo-terminal whose slave side stands for a port and is held open by nobody
// (the simulated logger's terminal holds its own for its whole life). The code under test is
// the slave side's only user, so a port held by another program, a port nobody answers on and
// a far end that hangs up can each be made exactly.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace pelion::test {

class BareTerminal {
public:
    BareTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            hangUp();
            throw std::runtime_error("no pseudo-terminal");
        }
        slavePath_ = ptsname(master_);
    }
    ~BareTerminal() { hangUp(); }
    BareTerminal(const BareTerminal&) = delete;
    BareTerminal& operator=(const BareTerminal&) = delete;

    // The far end of the wire; -1 once it has hung up.
    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

    // Hands the master side over to a caller that closes it itself.
    int releaseMaster() {
        const int master = master_;
        master_ = -1;
        return master;
    }

    // Closes the master side: the port's device is gone.
    void hangUp() {
        if (master_ >= 0) {
            close(master_);
            master_ = -1;
        }
    }

private:
    int master_ = -1;
    std::string slavePath_;
};

}  // namespace pelion::test
