#include "cli/console_view.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "app/safe_text.h"

namespace pelion::cli {

namespace {

// The local time as the report shows it: "hh-nn-ss".
std::string timeStamp() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);  // the main thread is its only user
    char text[16];
    std::strftime(text, sizeof text, "%H-%M-%S", local);
    return text;
}

}  // namespace

ConsoleView::ConsoleView(EventLoop& loop, std::string port, bool readInfoOnly,
                         std::unique_ptr<ProgressDisplay> progress, bool beeps, std::string prefix)
    : loop_(loop),
      port_(std::move(port)),
      readInfoOnly_(readInfoOnly),
      progress_(std::move(progress)),
      beeps_(beeps),
      prefix_(safeText(prefix)) {}

// Report lines carry outside text (the port name, texts of a firmware file); they are kept and
// shown only in their safe form.
void ConsoleView::addReport(const std::string& sLine) {
    const std::string line = safeText(sLine);
    printLine(timeStamp() + " -> " + line);
    lastReport_ = line;
    reported_.push_back(line);
}

// The message window's text; when the report has just shown it, it already stands last.
void ConsoleView::showResult(const std::string& sMsg) {
    result_ = safeText(sMsg);
    if (result_ != lastReport_) {
        printLine(result_);
        reported_.push_back(result_);
    }
}

// The tool's own remarks are no part of the run's report; they go to standard error, the
// verdict stays the report's last line.
void ConsoleView::advise(const std::string& sText) {
    if (progress_) {
        progress_->hide();
    }
    std::fprintf(stderr, "pelion-update: %s%s\n", prefix_.c_str(), safeText(sText).c_str());
    std::fflush(stderr);
    if (progress_) {
        progress_->redraw();
    }
}

// The window shows the explanation as a report line; it is reported with the verdict here.
void ConsoleView::explainPortFailure(const std::string& sText) {
    reported_.push_back(sText);
    advise(sText);
}

void ConsoleView::setProgressBar(int percent) {
    percent_ = std::clamp(percent, 0, 100);
    if (!progress_) {
        return;
    }
    if (percent_ == 0) {
        progress_->restart();
    }
    progress_->show(percent_);
}

void ConsoleView::beep() {
    if (beeps_) {
        std::fputc('\a', stderr);
        std::fflush(stderr);
    }
}

void ConsoleView::setRunningControls(bool running) {
    if (!running && progress_) {
        progress_->stop();
    }
}

void ConsoleView::runEnded(const RunOutcome& outcome) {
    outcome_ = outcome;
    if (progress_) {
        progress_->finish(result_.empty() ? "-" : result_);
    }
}

void ConsoleView::callLater(std::chrono::milliseconds delay, std::function<void()> action) {
    loop_.callLater(delay, std::move(action));
}

void ConsoleView::printLine(const std::string& line) {
    if (progress_) {
        progress_->hide();
    }
    std::fputs(prefix_.c_str(), reportStream_);
    std::fputs(line.c_str(), reportStream_);
    std::fputc('\n', reportStream_);
    std::fflush(reportStream_);
    if (progress_) {
        progress_->redraw();
    }
}

}  // namespace pelion::cli
