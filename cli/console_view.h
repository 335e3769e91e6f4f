// The run's view on a console: report lines "hh-nn-ss -> text" on standard output with the
// verdict last, and, on a terminal, its progress and the beep on standard error.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/run_control.h"
#include "cli/event_loop.h"
#include "cli/progress_display.h"

namespace pelion::cli {

class ConsoleView : public RunView {
public:
    // `progress` is null without a terminal. A non-empty `prefix` starts every line on standard
    // output (the port, when several loggers are updated at once).
    ConsoleView(EventLoop& loop, std::string port, bool readInfoOnly,
                std::unique_ptr<ProgressDisplay> progress, bool beeps, std::string prefix = {});

    // Where report lines go: standard output unless the events go there as data.
    void setReportStream(std::FILE* stream) { reportStream_ = stream; }
    // The lines reported since the last call, without their time stamps.
    std::vector<std::string> takeReported() { return std::exchange(reported_, {}); }

    void addReport(const std::string& sLine) override;
    void clearReport() override {}
    // The status bar shows what the report already shows.
    void setStatus(const std::string&) override {}
    void showResult(const std::string& sMsg) override;
    void setProgressBar(int percent) override;
    int progressBar() const override { return percent_; }
    void setApplicationTitle(const std::string&) override {}
    void beep() override;
    void setRunningControls(bool running) override;
    bool readInfoOnlyChecked() const override { return readInfoOnly_; }
    std::string portFieldText() const override { return port_; }
    void callLater(std::chrono::milliseconds delay, std::function<void()> action) override;
    // One line on standard error, after the verdict.
    void explainPortFailure(const std::string& sText) override;
    void advise(const std::string& sText) override;
    void runEnded(const RunOutcome& outcome) override;

    const std::optional<RunOutcome>& outcome() const { return outcome_; }
    // The text of the last message shown (the verdict once the run has ended).
    const std::string& result() const { return result_; }

private:
    void printLine(const std::string& line);

    EventLoop& loop_;
    std::string port_;
    bool readInfoOnly_;
    std::unique_ptr<ProgressDisplay> progress_;
    bool beeps_;
    int percent_ = 0;
    std::string prefix_;
    std::string lastReport_;
    std::string result_;
    std::FILE* reportStream_ = stdout;
    std::vector<std::string> reported_;
    std::optional<RunOutcome> outcome_;
};

}  // namespace pelion::cli
