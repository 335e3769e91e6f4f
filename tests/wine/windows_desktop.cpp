#include "tests/wine/windows_desktop.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace pelion::test {

namespace {

using namespace std::chrono_literals;

constexpr auto cPOLL = 200ms;
// How long a copied text may take to reach the clipboard on a loaded machine.
constexpr auto cCOPY_WAIT = 30s;

std::optional<NativeWindow> parseWindow(const std::string& line) {
    std::istringstream fields(line);
    NativeWindow window;
    std::string style, exStyle;
    unsigned long process = 0;
    if (!std::getline(fields, window.handle, '\t') || !std::getline(fields, style, '\t') ||
        !std::getline(fields, exStyle, '\t') || !std::getline(fields, window.owner, '\t') ||
        !(fields >> process >> window.left >> window.top >> window.right >> window.bottom)) {
        return std::nullopt;
    }
    fields.ignore(1);
    std::getline(fields, window.caption);
    window.style = std::stoul(style, nullptr, 16);
    window.exStyle = std::stoul(exStyle, nullptr, 16);
    return window;
}

bool samePlace(const NativeWindow& a, const NativeWindow& b) {
    return a.handle == b.handle && a.left == b.left && a.top == b.top && a.right == b.right &&
           a.bottom == b.bottom;
}

}  // namespace

// The first program that looks at the desktop makes Wine start the desktop's own process, which
// inherits that program's output and holds it open for the rest of the session. A first look
// with nothing to inherit keeps it away from the pipes of the probe and of the program.
WindowsDesktop::WindowsDesktop() : wine_(desktop_.display()) {
    if (wine_.runQuietly(PELION_WIN32_WINDOW_PROBE, {"windows"}) != 0) {
        throw std::runtime_error("pelion-window-probe did not run on " + desktop_.display());
    }
}

WindowsDesktop::ProbeRun WindowsDesktop::probe(const std::vector<std::string>& args) {
    auto probe = wine_.start(PELION_WIN32_WINDOW_PROBE, args);
    const int status = probe->finish(30s);
    return {status, probe->out()};
}

std::vector<NativeWindow> WindowsDesktop::windows() {
    std::vector<NativeWindow> found;
    std::istringstream lines(probe({"windows"}).out);
    for (std::string line; std::getline(lines, line);) {
        if (auto window = parseWindow(line)) {
            found.push_back(*window);
        }
    }
    return found;
}

std::optional<NativeWindow> WindowsDesktop::waitForWindow(const std::string& caption,
                                                          std::chrono::seconds timeout) {
    return waitForWindow([&](const NativeWindow& window) { return window.caption == caption; },
                         timeout);
}

// A window that was just shown may still be placed by the window manager; it is taken once two
// successive looks find it at the same place, so that clicks land where they aim.
std::optional<NativeWindow> WindowsDesktop::waitForWindow(const WindowTest& wanted,
                                                          std::chrono::seconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    std::optional<NativeWindow> seen;
    do {
        const auto shown = windows();
        const auto found = std::ranges::find_if(shown, wanted);
        if (found == shown.end()) {
            seen.reset();
        } else if (seen && samePlace(*seen, *found)) {
            return *found;
        } else {
            seen = *found;
        }
        std::this_thread::sleep_for(cPOLL);
    } while (std::chrono::steady_clock::now() < end);
    return std::nullopt;
}

bool WindowsDesktop::waitUntilGone(const std::string& caption, std::chrono::seconds timeout) {
    return waitUntilGone([&](const NativeWindow& window) { return window.caption == caption; },
                         timeout);
}

bool WindowsDesktop::waitUntilGone(const WindowTest& unwanted, std::chrono::seconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    do {
        if (std::ranges::none_of(windows(), unwanted)) {
            return true;
        }
        std::this_thread::sleep_for(cPOLL);
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

void WindowsDesktop::xdotool(const std::vector<std::string>& args) {
    // ChildProcess starts a program by its path; the shell finds xdotool on PATH.
    std::vector<std::string> command = {"/bin/sh", "-c", "exec xdotool \"$@\"", "sh"};
    command.insert(command.end(), args.begin(), args.end());
    ChildProcess run(command, {{"DISPLAY", desktop_.display()}});
    if (run.finish(30s) != 0) {
        throw std::runtime_error("xdotool failed: " + run.err());
    }
}

void WindowsDesktop::click(const NativeWindow& window, int x, int y) {
    // The server takes the test's pointer motion and button in their order; xdotool's --sync
    // would wait for a motion that never comes when the pointer already stands there.
    xdotool({"mousemove", std::to_string(window.left + x), std::to_string(window.top + y), "click",
             "1"});
    // Wine hands the click to the program's message queue on its own time.
    std::this_thread::sleep_for(cPOLL);
}

void WindowsDesktop::key(const std::string& keys) {
    xdotool({"key", keys});
    std::this_thread::sleep_for(cPOLL);
}

std::string WindowsDesktop::copyText(const NativeWindow& window, int x, int y) {
    probe({"clear-clipboard"});
    click(window, x, y);
    key("ctrl+a");
    key("ctrl+c");
    const auto end = std::chrono::steady_clock::now() + cCOPY_WAIT;
    do {
        const ProbeRun read = probe({"clipboard"});
        if (!read.out.empty()) {
            return read.out;
        }
        std::this_thread::sleep_for(cPOLL);
    } while (std::chrono::steady_clock::now() < end);
    return {};
}

bool WindowsDesktop::sendPortArrival(const NativeWindow& window, const std::string& comName) {
    return probe({"port-arrival", window.handle, comName}).status == 0;
}

}  // namespace pelion::test
