#include "reliability/shards.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace pelion::reliability {

namespace {

struct Child {
    pid_t pid = -1;
    int out = -1;
    std::string pending;
};

bool spawnChild(const std::vector<std::string>& args, Child& child) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const int rc =
        posix_spawn(&child.pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return false;
    }
    child.out = fds[0];
    return true;
}

// Hands on every whole line read from the child; false at the end of its output.
bool readLines(Child& child, const std::function<void(const std::string&)>& onLine) {
    char buffer[4096];
    const ssize_t n = read(child.out, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) {
        return true;
    }
    if (n <= 0) {
        if (!child.pending.empty()) {
            onLine(child.pending);
        }
        return false;
    }
    child.pending.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end; (end = child.pending.find('\n')) != std::string::npos;) {
        onLine(child.pending.substr(0, end));
        child.pending.erase(0, end + 1);
    }
    return true;
}

}  // namespace

bool runShards(const std::vector<std::string>& args, int jobs,
               const std::function<void(const std::string&)>& onLine) {
    std::vector<Child> children(static_cast<std::size_t>(jobs));
    bool ok = true;
    for (int i = 0; i < jobs; ++i) {
        std::vector<std::string> childArgs = args;
        childArgs.push_back("--shard");
        childArgs.push_back(std::to_string(i) + "/" + std::to_string(jobs));
        ok = spawnChild(childArgs, children[static_cast<std::size_t>(i)]) && ok;
    }
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<Child*> open;
        for (Child& c : children) {
            if (c.out >= 0) {
                fds.push_back({c.out, POLLIN, 0});
                open.push_back(&c);
            }
        }
        if (fds.empty()) {
            break;
        }
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return false;
        }
        for (std::size_t k = 0; k < fds.size(); ++k) {
            if (fds[k].revents != 0 && !readLines(*open[k], onLine)) {
                close(open[k]->out);
                open[k]->out = -1;
            }
        }
    }
    for (Child& c : children) {
        int status = 0;
        // A sanitizer's report ends a child with a status of its own, even after its last case.
        if (c.pid > 0 && (waitpid(c.pid, &status, 0) != c.pid || !WIFEXITED(status) ||
                          WEXITSTATUS(status) != 0)) {
            ok = false;
        }
    }
    return ok;
}

}  // namespace pelion::reliability
