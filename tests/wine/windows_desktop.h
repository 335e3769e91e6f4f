// A Windows desktop for tests of the window program: Wine on an Xvfb screen with openbox, the
// windows as Windows sees them (through pelion-window-probe.exe) and a user's mouse and keys
// (X input through xdotool). Qt draws its controls itself, so a control is reached where the
// window's layout puts it, and its text through the clipboard, as a user would copy it.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/desktop/desktop_session.h"
#include "tests/wine/wine_session.h"

namespace pelion::test {

// A visible top-level window; the client area in screen coordinates.
struct NativeWindow {
    std::string handle;  // hexadecimal
    unsigned long style = 0;
    unsigned long exStyle = 0;
    std::string owner;  // "0": none
    int left = 0, top = 0, right = 0, bottom = 0;
    std::string caption;

    bool hasStyle(unsigned long bits) const { return (style & bits) == bits; }
};

class WindowsDesktop {
public:
    WindowsDesktop();

    WineSession& wine() { return wine_; }
    const std::string& display() const { return desktop_.display(); }

    std::vector<NativeWindow> windows();
    // The first visible top-level window with this caption, once there is one and the window
    // manager has placed it; none when the time ran out.
    std::optional<NativeWindow> waitForWindow(const std::string& caption,
                                              std::chrono::seconds timeout);
    // The first visible top-level window that `wanted` accepts, once there is one.
    using WindowTest = std::function<bool(const NativeWindow&)>;
    std::optional<NativeWindow> waitForWindow(const WindowTest& wanted,
                                              std::chrono::seconds timeout);
    // True once no window has this caption, or none is one that `unwanted` accepts.
    bool waitUntilGone(const std::string& caption, std::chrono::seconds timeout);
    bool waitUntilGone(const WindowTest& unwanted, std::chrono::seconds timeout);

    // A left click at a point of the window's client area.
    void click(const NativeWindow& window, int x, int y);
    // Keys as xdotool names them ("Return", "ctrl+a"), to the window that has the focus.
    void key(const std::string& keys);
    // Clicks into the text at that point, selects all of it and copies it; the clipboard's text
    // afterwards (empty when nothing came).
    std::string copyText(const NativeWindow& window, int x, int y);

    // WM_DEVICECHANGE with a port arrival for `comName`, sent to the window.
    bool sendPortArrival(const NativeWindow& window, const std::string& comName);

private:
    struct ProbeRun {
        int status = 0;
        std::string out;
    };
    ProbeRun probe(const std::vector<std::string>& args);
    void xdotool(const std::vector<std::string>& args);

    DesktopSession desktop_;
    WineSession wine_;
};

}  // namespace pelion::test
