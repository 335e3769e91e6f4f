// A pseudo-terminal whose slave side plays the logger's serial port. The master side is the
// logger's end of the cable. The slave side is held open here for the whole lifetime, so the
// terminal lives on while the updater closes and reopens the port between runs.
#pragma once

#include <string>

namespace pelion::sim {

class PseudoTerminal {
public:
    // Throws std::system_error when the system refuses a pseudo-terminal.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int master() const { return master_; }  // non-blocking
    const std::string& slavePath() const { return slavePath_; }
    // Ends an exclusive claim on the port that its holder left behind: the kernel drops it with
    // the last close of a USB port, which never comes while this side holds the port open.
    void dropExclusiveClaim();

private:
    int master_ = -1;
    int slave_ = -1;  // only held, never read: reading would steal the logger's answers
    std::string slavePath_;
};

}  // namespace pelion::sim
