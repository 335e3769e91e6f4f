#include "reliability/user_action.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#include "link/link_timing.h"
#include "link/notify.h"

namespace pelion::reliability {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds cWORKER_END_WAIT{60};

class SilentView : public RunView {
public:
    explicit SilentView(std::string port) : port_(std::move(port)) {}

    void addReport(const std::string&) override {}
    void clearReport() override {}
    void setStatus(const std::string&) override {}
    void showResult(const std::string& sMsg) override { verdict = sMsg; }
    void setProgressBar(int percent) override { bar_ = std::clamp(percent, 0, 100); }
    int progressBar() const override { return bar_; }
    void setApplicationTitle(const std::string&) override {}
    void beep() override {}
    void setRunningControls(bool running) override { workers += running; }
    bool readInfoOnlyChecked() const override { return false; }
    std::string portFieldText() const override { return port_; }
    void callLater(std::chrono::milliseconds delay, std::function<void()> action) override {
        laterAt = Clock::now() + linkWait(delay);
        later = std::move(action);
    }
    void runEnded(const RunOutcome& o) override {
        outcome = o;
        ++outcomes;
    }

    std::string verdict;
    int workers = 0;
    std::optional<RunOutcome> outcome;
    int outcomes = 0;
    std::function<void()> later;
    Clock::time_point laterAt;

private:
    std::string port_;
    int bar_ = 0;
};

bool endsWorker(std::uint32_t code) {
    return code == cNT_FINISHED || code == cNT_ABORTED || code == cNT_RETRY;
}

// After the time limit: cancel, and let the worker that runs end without starting another.
void stopRunaway(RunControl& control, NotificationQueue& queue) {
    control.cancel();
    const auto deadline = Clock::now() + cWORKER_END_WAIT;
    while (Clock::now() < deadline) {
        const auto n = queue.takeFor(std::chrono::milliseconds(100));
        if (n && endsWorker(n->code)) {
            break;
        }
    }
    TCommThread::waitForWorkers(cWORKER_END_WAIT);
}

// What the worker posted after its outcome: a second worker end, or a notification the run
// control turns into a second outcome, breaks the promise of one outcome per action.
std::string secondOutcome(RunControl& control, SilentView& view, NotificationQueue& queue) {
    while (const auto n = queue.takeFor(std::chrono::milliseconds(0))) {
        if (endsWorker(n->code)) {
            return "a run posted another outcome (notification " + std::to_string(n->code) +
                   ") after its first";
        }
        control.handleNotification(n->code, n->value);
    }
    return view.outcomes > 1 ? "the run control posted " + std::to_string(view.outcomes) +
                                   " outcomes for one action"
                             : std::string{};
}

bool noWorkerRunning() {
    return TCommThread::waitForWorkers(std::chrono::milliseconds(0));
}

}  // namespace

ActionResult pressUpdate(const std::string& port, std::optional<int> maxRepeats,
                         std::chrono::milliseconds limit, const HistorySettings& history) {
    auto queue = std::make_shared<NotificationQueue>();
    SilentView view(port);
    RunControl control(view, queue);
    control.setMaxRepeats(maxRepeats);
    control.setHistory(history);
    control.PrepareRun();
    control.StartRun(tCMD0);

    const auto deadline = Clock::now() + limit;
    while (!view.outcome) {
        const auto now = Clock::now();
        if (view.later && now >= view.laterAt) {
            std::exchange(view.later, nullptr)();
            continue;
        }
        if (now >= deadline) {
            std::string fault;
            if (!view.later && noWorkerRunning() && !queue->takeFor(std::chrono::milliseconds(0))) {
                fault = "the run ended without an outcome";
            } else if (!view.later) {
                stopRunaway(control, *queue);  // a worker is running; no repeat is waiting
            }
            return {std::nullopt, view.verdict, view.workers, fault};
        }
        auto wait = std::chrono::milliseconds(50);
        if (view.later) {
            wait = std::clamp(
                std::chrono::duration_cast<std::chrono::milliseconds>(view.laterAt - now),
                std::chrono::milliseconds(0), wait);
        }
        if (const auto n = queue->takeFor(wait)) {
            control.handleNotification(n->code, n->value);
        }
    }
    // The worker posts its outcome just before it ends; the next run must not overlap it.
    TCommThread::waitForWorkers(cWORKER_END_WAIT);
    return {view.outcome, view.verdict, view.workers, secondOutcome(control, view, *queue)};
}

}  // namespace pelion::reliability
