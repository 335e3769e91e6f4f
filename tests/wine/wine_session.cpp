#include "tests/wine/wine_session.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace pelion::test {

namespace {

namespace fs = std::filesystem;

constexpr int cCAP_SYS_ADMIN = 21;

// True when this process holds the administrator capability (root in most setups).
bool isAdministrator() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("CapEff:")) {
            std::istringstream bits(line.substr(7));
            unsigned long long effective = 0;
            bits >> std::hex >> effective;
            return ((effective >> cCAP_SYS_ADMIN) & 1U) != 0;
        }
    }
    return false;
}

// Wine opens a COM port through the Unix open() of its device, and Linux lets an administrator
// open a terminal that another process holds exclusively. The session runs without that
// capability, as a user's programs do, so that a held port is refused here as it is to them.
std::vector<std::string> asUser() {
    if (isAdministrator()) {
        return {"setpriv", "--bounding-set=-sys_admin"};
    }
    return {};
}

constexpr const char* cRUN = "exec \"$@\"";
constexpr const char* cRUN_QUIETLY = "exec \"$@\" >/dev/null 2>&1";

// ChildProcess starts a program by its path; the shell finds Wine's programs on PATH.
std::vector<std::string> throughShell(const char* script, const std::vector<std::string>& args) {
    std::vector<std::string> command = {"/bin/sh", "-c", script, "sh"};
    for (const std::vector<std::string>& part : {asUser(), args}) {
        command.insert(command.end(), part.begin(), part.end());
    }
    return command;
}

}  // namespace

WineSession::WineSession(const std::string& display)
    : prefix_(PELION_WINE_PREFIX),
      env_{
          {"WINEPREFIX", PELION_WINE_PREFIX},
          {"WINEDEBUG", "-all"},
          // A new prefix would offer to download .NET and HTML engines; neither is wanted.
          {"WINEDLLOVERRIDES", "mscoree,mshtml="},
          // Console programs need no display, and none of a desktop's is borrowed.
          {"DISPLAY", display},
          {"WAYLAND_DISPLAY", ""},
      } {
    // A server left behind by a test that was killed refuses to start a second one; the
    // session then goes on with that one. Wine's background programs inherit the output of the
    // program that starts them; started here, with nothing to inherit, they never hold a
    // test's pipes open. In a new, empty prefix wineboot sets it up first.
    fs::create_directories(prefix_);
    runQuietly({"wineserver", "-p"});
    if (runQuietly({"wine", "wineboot"}) != 0) {
        throw std::runtime_error("Wine did not start in " + prefix_.string());
    }
}

WineSession::~WineSession() {
    runQuietly({"wineserver", "-k"});
    runQuietly({"wineserver", "-w"});
}

void WineSession::mapComPort(const std::string& comName, const std::string& device) {
    const fs::path link = dosDevice(comName);
    fs::remove(link);
    fs::create_symlink(device, link);
}

bool WineSession::comPortIsMapped(const std::string& comName) const {
    return fs::is_symlink(dosDevice(comName));
}

fs::path WineSession::dosDevice(const std::string& comName) const {
    std::string name = comName;
    std::ranges::transform(name, name.begin(), [](unsigned char c) { return std::tolower(c); });
    return prefix_ / "dosdevices" / name;
}

void WineSession::setEnvironment(const std::string& name, const std::string& value) {
    env_[name] = value;
}

bool WineSession::reg(const std::vector<std::string>& args) {
    std::vector<std::string> command = {"wine", "reg"};
    command.insert(command.end(), args.begin(), args.end());
    return runQuietly(command) == 0;
}

std::unique_ptr<ChildProcess> WineSession::startProgram(const std::vector<std::string>& args) {
    return start(PELION_WIN32_PROGRAM, args);
}

std::unique_ptr<ChildProcess> WineSession::start(const std::string& program,
                                                 const std::vector<std::string>& args) {
    std::vector<std::string> command = {"wine", program};
    command.insert(command.end(), args.begin(), args.end());
    return std::make_unique<ChildProcess>(throughShell(cRUN, command), env_);
}

int WineSession::runQuietly(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> command = {"wine", program};
    command.insert(command.end(), args.begin(), args.end());
    return runQuietly(command);
}

int WineSession::runQuietly(const std::vector<std::string>& args) {
    return ChildProcess(throughShell(cRUN_QUIETLY, args), env_).finish();
}

}  // namespace pelion::test
