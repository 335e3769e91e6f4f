// A desktop of its own for a test program: an Xvfb X server on a free display, found with
// -displayfd, with the openbox window manager on it. Both end with the session.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace pelion::test {

class DesktopSession {
public:
    // Starts both and waits, with a bound, until the window manager runs; throws when either
    // does not come up.
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    const std::string& display() const { return display_; }

private:
    // Empty when both run, else what went wrong.
    std::string tryStart();
    void stopHeldServers();

    pid_t server_ = -1;
    pid_t windowManager_ = -1;
    std::string display_;
    std::vector<pid_t> heldServers_;
};

}  // namespace pelion::test
