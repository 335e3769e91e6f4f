// A program of the build run as a child process with its standard output and error captured,
// for tests that see the tool exactly as a user or script does.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace pelion::test {

// Where the child's standard error goes: a pipe, or a terminal of 100 columns and 24 rows (a
// pseudo-terminal whose output err() collects as the terminal received it).
enum class ErrorTo { pipe, terminal };

class ChildProcess {
public:
    // `env` adds to or replaces variables of this process's environment. Standard input is
    // /dev/null: no terminal; or, with `terminalIn`, that terminal, which becomes the controlling
    // terminal of the child in a session of its own, as a login's terminal is its shell's.
    ChildProcess(const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, ErrorTo errorTo = ErrorTo::pipe,
                 const std::string& terminalIn = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads output until standard output holds `text` (`times` times); false when the child
    // ended first or the time ran out.
    bool waitForOutput(const std::string& text, std::chrono::seconds timeout,
                       std::size_t times = 1);
    void signal(int sig);
    // Stops reading standard output and closes its pipe, as `| head` does once it has its lines.
    void closeOutput();
    // Reads the rest of the output and returns the exit status (128 + signal when killed); a
    // child still running after `timeout` is killed.
    int finish(std::chrono::seconds timeout = std::chrono::seconds{120});

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

private:
    // Reads what is there within `wait`; false once both pipes are closed.
    bool pump(std::chrono::milliseconds wait);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string out_;
    std::string err_;
};

// How often `part` occurs in `text`.
std::size_t occurrences(const std::string& text, const std::string& part);

// The path of a program in the build folder.
std::string buildProgram(const std::string& name);

}  // namespace pelion::test
