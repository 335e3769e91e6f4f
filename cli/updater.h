// pelion-update from its command line to its exit status.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pelion {
class RunControl;
}

namespace pelion::cli {

class ConsoleView;
class EventLoop;

inline constexpr int cEXIT_OK = 0;
inline constexpr int cEXIT_FATAL = 1;
inline constexpr int cEXIT_USAGE = 2;

// `args` are the command-line elements after the program path.
int runUpdater(const std::vector<std::string>& args);

// A worker posts its outcome just before it ends; nothing may be left running at exit. Waits
// for the workers and, when they take too long, cancels the runs with `cancelAll` and waits
// once more.
void awaitWorkers(const std::function<void()>& cancelAll);

// One port's run, already started, through its loop until its view has the outcome; then its
// workers are awaited.
void runToOutcome(EventLoop& loop, RunControl& control, const ConsoleView& view);

}  // namespace pelion::cli
