// A RunView that writes down everything the run control shows, one event per entry, and keeps
// delayed actions for the test to run when it chooses.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/run_control.h"

namespace pelion::test {

class RecordingView : public RunView {
public:
    std::vector<std::string> events;
    std::vector<std::function<void()>> later;
    std::string port = "COM7";
    bool readInfoOnly = false;
    std::vector<RunOutcome> outcomes;

    void addReport(const std::string& s) override { events.push_back("report: " + s); }
    void clearReport() override { events.push_back("clear"); }
    void setStatus(const std::string& s) override { events.push_back("status: " + s); }
    void showResult(const std::string& s) override { events.push_back("result: " + s); }
    void setProgressBar(int percent) override {
        bar_ = std::clamp(percent, 0, 100);
        events.push_back("bar: " + std::to_string(bar_));
    }
    int progressBar() const override { return bar_; }
    void setApplicationTitle(const std::string& s) override { events.push_back("title: " + s); }
    void beep() override { events.push_back("beep"); }
    void setRunningControls(bool running) override {
        events.push_back(running ? "controls: running" : "controls: idle");
    }
    bool readInfoOnlyChecked() const override { return readInfoOnly; }
    std::string portFieldText() const override { return port; }
    void callLater(std::chrono::milliseconds delay, std::function<void()> action) override {
        events.push_back("later: " + std::to_string(delay.count()) + " ms");
        later.push_back(std::move(action));
    }
    void runEnded(const RunOutcome& outcome) override {
        outcomes.push_back(outcome);
        events.push_back("ended");
    }

    // Runs the oldest delayed action, as the view's loop would once its time has come.
    void runLater() {
        auto action = std::move(later.front());
        later.erase(later.begin());
        action();
    }

private:
    int bar_ = 0;
};

}  // namespace pelion::test
