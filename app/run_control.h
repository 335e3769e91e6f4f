// Run control shared by every front end: preparing and starting worker runs, Cancel, and what
// each worker notification shows (report line, status, verdict, progress, title, beep) and
// when a run repeats. A front end implements RunView and feeds notifications, on its own
// thread and in posting order, to RunControl::handleNotification.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/history_journal.h"
#include "link/comm_thread.h"
#include "link/notify.h"
#include "update/update_context.h"

namespace pelion {

// How a run ended, for front ends that report it further (the command line's exit status).
struct RunOutcome {
    enum Kind { finished, aborted, repeatsExhausted } kind;
    // For `aborted`: the code as posted (0 for a fatal error). For `repeatsExhausted`: the code
    // of the error whose repeats ran out, cEX_RETRY or cEX_PROG_REPEAT.
    std::int32_t abortCode;
};

// The exit status a run ends with: 0 when it was completed, else its abort code (1 for a fatal
// error).
int exitStatusOf(const RunOutcome& outcome);

class RunView {
public:
    virtual ~RunView() = default;

    virtual void addReport(const std::string& sLine) = 0;  // the view time-stamps the line
    virtual void clearReport() = 0;
    virtual void setStatus(const std::string& sText) = 0;
    // The verdict's message; a window shows it modally and returns when it is closed.
    virtual void showResult(const std::string& sMsg) = 0;
    virtual void setProgressBar(int percent) = 0;  // the view keeps it within 0..100
    virtual int progressBar() const = 0;
    virtual void setApplicationTitle(const std::string& sTitle) = 0;
    virtual void beep() = 0;
    // The controls of the idle (false) or running (true) state, mouse cursor included.
    virtual void setRunningControls(bool running) = 0;
    virtual bool readInfoOnlyChecked() const = 0;
    virtual std::string portFieldText() const = 0;
    // Runs `action` on the view's thread after `delay`; the view stays responsive meanwhile.
    virtual void callLater(std::chrono::milliseconds delay, std::function<void()> action) = 0;
    // Why the port failed, after the verdict of a port abort: a report line unless the front
    // end has a better place for it.
    virtual void explainPortFailure(const std::string& sText) { addReport(sText); }
    // A remark of the tool's own, not the logger's (the port makes the update slow, the history
    // could not be written): a report line unless the front end has a better place for it.
    virtual void advise(const std::string& sText) { addReport(sText); }
    // The run has ended for good (no repeat follows); called after the verdict was shown.
    virtual void runEnded(const RunOutcome&) {}
};

class RunControl {
public:
    // `target` is what the front end hands to every worker it starts.
    RunControl(RunView& view, NotificationTargetPtr target);

    // Clears the report, sets ChosenImage to -1, forgets the application facts, loads `sFile` as
    // image 0 when given and takes the port name. A file that fails to load ends it early with
    // False and `reason`; the caller then starts nothing.
    bool PrepareRun(const std::string& sFile = {}, std::string* reason = nullptr);
    // Hands the worker a new run context filled from the window's settings.
    void StartRun(TCmd cmd);
    void ResetControls();
    // The Cancel button: the worker ends with "Process cancelled!" at its next attempt.
    void cancel();
    bool isRunning() const { return running_; }
    const std::string& port() const { return FPort; }

    // With a limit, a run is not repeated after a communication error more than `repeats`
    // times, nor after a programming error (a wrong echo) more than `repeats` times, each
    // counted on its own from the last PrepareRun; then it ends with "Aborted because of a
    // communication error after N repeats!" or "Aborted because of a programming error after
    // N repeats!", or with "Process cancelled!" when a cancel request is pending then. Without a
    // limit both repeat for ever, as in the window, whose user has Cancel.
    void setMaxRepeats(std::optional<int> repeats) { maxRepeats_ = repeats; }

    // The window shows the run's image in the global ChosenImage (the firmware overview reads
    // it); a front end with several runs at once keeps it to each run with False.
    void setPublishesChosenImage(bool publishes) { publishesChosenImage_ = publishes; }
    // The image of the current or last run, -1 for none.
    int chosenImage() const { return chosenImage_; }
    // What this user action has read from the logger's application so far.
    const std::shared_ptr<ApplicationFactsMemory>& applicationFacts() const { return facts_; }

    // Keeps the update history of every action from the next PrepareRun on; without it (or
    // with no file in `settings`) nothing is written.
    void setHistory(HistorySettings settings);

    void handleNotification(std::uint32_t code, std::int32_t value);

private:
    void showJournalReport();
    void startRun(TCmd cmd, bool cancelRequested);
    void verdict(const std::string& text);
    void handleAbort(std::int32_t code);
    void handleRetry(std::int32_t value);
    // Ends a run whose repeats (after error `code`) have run out.
    void endWithoutRepeat(std::int32_t code, const std::string& exhaustedText);
    void endRun(const RunOutcome& outcome);
    void takeChosenImage();
    TBl3FileHeader chosenHeader() const;
    bool repeatsUsedUp(int repeats) const { return maxRepeats_ && repeats >= *maxRepeats_; }

    RunView& view_;
    NotificationTargetPtr target_;
    std::string FPort;
    bool running_ = false;
    int repeats_ = 0;      // after communication errors
    int progRepeats_ = 0;  // after programming errors
    std::optional<int> maxRepeats_;
    std::optional<std::int32_t> portFailure_;   // the reason posted before the coming abort
    std::shared_ptr<UpdateContext> run_;        // the run started last
    std::shared_ptr<const FirmwareFile> file_;  // image 0 of this action, when one was loaded
    std::shared_ptr<ApplicationFactsMemory> facts_ = std::make_shared<ApplicationFactsMemory>();
    int chosenImage_ = -1;
    bool publishesChosenImage_ = true;
    std::shared_ptr<HistoryJournal> journal_;
    std::string lastVerdict_;
};

}  // namespace pelion
