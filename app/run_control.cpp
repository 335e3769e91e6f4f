#include "app/run_control.h"

#include "app/latency_advice.h"
#include "app/notification_texts.h"
#include "app/port_failure_text.h"
#include "firmware/catalogue.h"
#include "firmware/file_reader.h"
#include "link/eorvo.h"
#include "update/options.h"

namespace pelion {

namespace {

constexpr std::chrono::milliseconds cRETRY_WAIT{1500};

}  // namespace

RunControl::RunControl(RunView& view, NotificationTargetPtr target)
    : view_(view), target_(std::move(target)) {}

void RunControl::setHistory(HistorySettings settings) {
    journal_ = settings.file ? std::make_shared<HistoryJournal>(std::move(settings)) : nullptr;
}

bool RunControl::PrepareRun(const std::string& sFile, std::string* reason) {
    view_.clearReport();
    if (publishesChosenImage_) {
        ChosenImage.store(-1);
    }
    chosenImage_ = -1;
    facts_->forget();  // a new user action may be meant for another logger
    // A file that does not load must not fall back to the embedded images: the user chose
    // this file, so nothing runs at all.
    if (!sFile.empty()) {
        if (!loadFirmwareFile(sFile, reason)) {
            return false;
        }
        chosenImage_ = ChosenImage.load();
        if (!publishesChosenImage_) {
            ChosenImage.store(-1);
        }
    }
    file_ = chosenImage_ == 0 ? currentFirmwareFile() : nullptr;
    FPort = view_.portFieldText();
    if (const auto warning = latencyWarningBeforeUpdate(FPort)) {
        view_.advise(*warning);
    }
    repeats_ = 0;
    progRepeats_ = 0;
    lastVerdict_.clear();
    if (journal_) {
        journal_->beginAction(FPort);
    }
    return true;
}

void RunControl::StartRun(TCmd cmd) {
    startRun(cmd, false);
}

void RunControl::startRun(TCmd cmd, bool cancelRequested) {
    const std::string line = startText(view_.portFieldText());
    view_.addReport(line);
    view_.setStatus(line);
    bReadInfoOnly = view_.readInfoOnlyChecked();
    view_.setProgressBar(0);
    view_.setRunningControls(true);
    running_ = true;
    if (publishesChosenImage_) {
        // The window may have loaded a file (or dropped it) since PrepareRun.
        chosenImage_ = ChosenImage.load();
        if (chosenImage_ == 0 && !file_) {
            file_ = currentFirmwareFile();
        }
    }
    UpdateOptions options = currentUpdateOptions();
    options.bReadInfoOnly = view_.readInfoOnlyChecked();
    run_ = std::make_shared<UpdateContext>(target_, options, chosenImage_, file_, facts_);
    // Set before the worker exists, so that a cancel request carried over from the previous
    // run is seen at the new worker's very first frame.
    run_->bCancel.store(cancelRequested);
    if (journal_) {
        run_->journal = journal_;
        journal_->attach(run_);
    }
    TCommThread::Create(WorkerClass, run_, cmd, FPort);
}

void RunControl::ResetControls() {
    view_.setRunningControls(false);
    running_ = false;
    view_.setApplicationTitle(cTXT_TITLE);
}

void RunControl::cancel() {
    if (run_) {
        run_->bCancel.store(true);
    }
}

// The worker writes its choice into the run's context; the front end takes it with each
// notification, so that texts and the window show the image the run has chosen.
void RunControl::takeChosenImage() {
    if (!run_) {
        if (publishesChosenImage_) {
            chosenImage_ = ChosenImage.load();
        }
        return;
    }
    chosenImage_ = run_->ChosenImage.load();
    if (publishesChosenImage_) {
        ChosenImage.store(chosenImage_);
    }
}

TBl3FileHeader RunControl::chosenHeader() const {
    return run_ ? run_->firmwareHeader(chosenImage_) : getFirmwareHeader(chosenImage_);
}

void RunControl::handleNotification(std::uint32_t code, std::int32_t value) {
    takeChosenImage();
    if (journal_) {
        journal_->noteNotification(code, value);
        showJournalReport();
    }
    switch (code) {
        case cNT_FINISHED:
            view_.setProgressBar(100);
            ResetControls();
            verdict(finishedText(chosenHeader()));
            endRun({RunOutcome::finished, 0});
            return;
        case cNT_PROGRESS:
            view_.addReport(progressText(value));
            view_.setProgressBar(value);
            view_.setApplicationTitle(titleText(view_.progressBar()));
            return;
        case cNT_ABORTED:
            handleAbort(value);
            return;
        case cNT_RETRY:
            handleRetry(value);
            return;
        case cNT_PORT_FAILURE:
            portFailure_ = value;
            return;
        default:
            break;
    }
    const NotificationText shown = notificationText(code, value, chosenHeader());
    if (shown.shows == NotificationShows::nothing) {
        return;
    }
    view_.addReport(shown.text);
    if (shown.shows == NotificationShows::reportAndStatus) {
        view_.setStatus(shown.text);
    }
}

void RunControl::handleAbort(std::int32_t code) {
    ResetControls();
    view_.beep();
    const AbortText shown = abortText(code, view_.portFieldText());
    switch (shown.shows) {
        case AbortShows::verdict:
            verdict(shown.text);
            break;
        case AbortShows::messageOnly:
            lastVerdict_ = shown.text;
            view_.showResult(shown.text);
            break;
        case AbortShows::repeatRun:
            if (repeatsUsedUp(progRepeats_)) {
                endWithoutRepeat(code, progRepeatsExhaustedText(progRepeats_));
                return;
            }
            ++progRepeats_;
            view_.addReport(shown.text);
            view_.setStatus(shown.text);
            StartRun(tCMD0);
            return;
    }
    if (portFailure_) {
        view_.explainPortFailure(portFailureText(*portFailure_));
        portFailure_.reset();
    }
    endRun({RunOutcome::aborted, code});
}

void RunControl::handleRetry(std::int32_t value) {
    if (repeatsUsedUp(repeats_)) {
        ResetControls();
        view_.beep();
        endWithoutRepeat(cEX_RETRY, repeatsExhaustedText(repeats_));
        return;
    }
    view_.setStatus(cTXT_RETRY);
    view_.addReport(cTXT_RETRY);
    ++repeats_;
    const auto cmd = static_cast<TCmd>(value & 0xFF);
    // The cancel request is taken as it stands when the wait is over, so that Cancel counts
    // whether it was pressed during the failed run or during the wait.
    view_.callLater(cRETRY_WAIT, [this, cmd] { startRun(cmd, run_ && run_->bCancel.load()); });
}

// The repeats have run out. A cancel request that came after the worker's last attempt is the
// user's word on the run and outweighs the error.
void RunControl::endWithoutRepeat(std::int32_t code, const std::string& exhaustedText) {
    if (run_ && run_->bCancel.load()) {
        verdict(abortText(cEX_CANCELLED, view_.portFieldText()).text);
        endRun({RunOutcome::aborted, cEX_CANCELLED});
        return;
    }
    verdict(exhaustedText);
    endRun({RunOutcome::repeatsExhausted, code});
}

void RunControl::verdict(const std::string& text) {
    lastVerdict_ = text;
    view_.addReport(text);
    view_.setStatus(text);
    view_.showResult(text);
}

void RunControl::endRun(const RunOutcome& outcome) {
    if (journal_) {
        journal_->actionEnded(lastVerdict_, exitStatusOf(outcome), repeats_ + progRepeats_,
                              facts_->remembered());
        showJournalReport();
    }
    view_.runEnded(outcome);
}

// What the history adds to the report, and its own trouble as a remark beside it.
void RunControl::showJournalReport() {
    for (const std::string& line : journal_->takeReport()) {
        view_.addReport(line);
    }
    for (const std::string& warning : journal_->takeWarnings()) {
        view_.advise(warning);
    }
}

int exitStatusOf(const RunOutcome& outcome) {
    switch (outcome.kind) {
        case RunOutcome::finished:
            return 0;
        case RunOutcome::repeatsExhausted:
            return outcome.abortCode;  // 30 after communication errors, 44 after wrong echoes
        case RunOutcome::aborted:
            return abortText(outcome.abortCode, {}).known ? outcome.abortCode : 1;
    }
    return 1;
}

}  // namespace pelion
