#include "tests/cli/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "tests/support/bare_terminal.h"

extern char** environ;

namespace pelion::test {

namespace {

// How long the output of an ended child is still read: a process it started may hold its pipes
// open long after it has ended (a Wine program's server does).
constexpr auto cAFTER_END = std::chrono::seconds{5};

std::vector<std::string> mergedEnvironment(const std::map<std::string, std::string>& env) {
    std::map<std::string, std::string> all;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        all[entry.substr(0, eq)] = eq == std::string::npos ? "" : entry.substr(eq + 1);
    }
    for (const auto& [name, value] : env) {
        all[name] = value;
    }
    std::vector<std::string> merged;
    for (const auto& [name, value] : all) {
        merged.push_back(name + "=" + value);
    }
    return merged;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> p;
    for (std::string& t : texts) {
        p.push_back(t.data());
    }
    p.push_back(nullptr);
    return p;
}

// A terminal of 100 columns and 24 rows for the child's standard error: the master side for
// the test to read, the slave side for the child.
void openTerminal(int (&ends)[2]) {
    BareTerminal terminal;
    const winsize size{24, 100, 0, 0};
    ioctl(terminal.master(), TIOCSWINSZ, &size);
    ends[1] = open(terminal.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (ends[1] < 0) {
        throw std::runtime_error("cannot open the pseudo-terminal's slave side");
    }
    ends[0] = terminal.releaseMaster();
}

}  // namespace

std::string buildProgram(const std::string& name) {
    const char* dir = std::getenv("PELION_BUILD_DIR");
    if (!dir) {
        throw std::runtime_error("PELION_BUILD_DIR is not set");
    }
    return std::string(dir) + "/" + name;
}

ChildProcess::ChildProcess(const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env, ErrorTo errorTo,
                           const std::string& terminalIn) {
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    if (errorTo == ErrorTo::terminal) {
        // The test keeps no slave side open once the child holds it, so that reading the
        // master ends when the child does.
        openTerminal(errPipe);
    } else if (pipe2(errPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Opened after the new session has begun and without O_NOCTTY, a terminal becomes the
    // session's controlling terminal.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (terminalIn.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    } else {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, terminalIn.c_str(), O_RDWR, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);

    std::vector<std::string> argv = args;
    std::vector<std::string> envp = mergedEnvironment(env);
    const int result = posix_spawn(&pid_, argv[0].c_str(), &actions, &attributes,
                                   pointers(argv).data(), pointers(envp).data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
    if (result != 0) {
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(result));
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {outFd_, errFd_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

bool ChildProcess::pump(std::chrono::milliseconds wait) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (outFd_ < 0 && errFd_ < 0) {
        return false;
    }
    if (poll(fds, 2, static_cast<int>(wait.count())) <= 0) {
        return true;
    }
    int* fdOf[2] = {&outFd_, &errFd_};
    std::string* textOf[2] = {&out_, &err_};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            textOf[i]->append(buffer, static_cast<std::size_t>(n));
        } else {
            close(*fdOf[i]);
            *fdOf[i] = -1;
        }
    }
    return true;
}

bool ChildProcess::waitForOutput(const std::string& text, std::chrono::seconds timeout,
                                 std::size_t times) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (occurrences(out_, text) < times) {
        if (std::chrono::steady_clock::now() > end || !pump(std::chrono::milliseconds{100})) {
            return false;
        }
    }
    return true;
}

int ChildProcess::finish(std::chrono::seconds timeout) {
    if (pid_ <= 0) {
        throw std::logic_error("the child has been finished already");  // waitpid would take any
    }
    const auto end = std::chrono::steady_clock::now() + timeout;
    std::optional<std::chrono::steady_clock::time_point> readUntil;
    int status = 0;
    while (pump(std::chrono::milliseconds{1000})) {
        const auto now = std::chrono::steady_clock::now();
        if (!readUntil && waitpid(pid_, &status, WNOHANG) == pid_) {
            readUntil = now + cAFTER_END;
        }
        if (readUntil && now > *readUntil) {
            break;
        }
        if (!readUntil && now > end) {
            kill(pid_, SIGKILL);  // a child that hangs fails the test instead of the suite
        }
    }
    if (!readUntil) {
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void ChildProcess::signal(int sig) {
    kill(pid_, sig);
}

void ChildProcess::closeOutput() {
    if (outFd_ >= 0) {
        close(outFd_);
        outFd_ = -1;
    }
}

}  // namespace pelion::test
