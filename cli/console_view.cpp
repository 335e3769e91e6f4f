#include "cli/console_view.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

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

ConsoleView::ConsoleView(EventLoop& loop, std::string port, bool readInfoOnly, bool terminal,
                         std::string prefix)
    : loop_(loop),
      port_(std::move(port)),
      readInfoOnly_(readInfoOnly),
      terminal_(terminal),
      progressLine_(stderr),
      prefix_(std::move(prefix)) {}

void ConsoleView::addReport(const std::string& sLine) {
    printLine(timeStamp() + " -> " + sLine);
    lastReport_ = sLine;
    reported_.push_back(sLine);
}

// The message window's text; when the report has just shown it, it already stands last.
void ConsoleView::showResult(const std::string& sMsg) {
    result_ = sMsg;
    if (sMsg != lastReport_) {
        printLine(sMsg);
        reported_.push_back(sMsg);
    }
}

void ConsoleView::explainPortFailure(const std::string& sText) {
    if (terminal_) {
        progressLine_.hide();
    }
    std::fprintf(stderr, "pelion-update: %s%s\n", prefix_.c_str(), sText.c_str());
    std::fflush(stderr);
}

void ConsoleView::setProgressBar(int percent) {
    progress_ = std::clamp(percent, 0, 100);
    if (!terminal_) {
        return;
    }
    if (progress_ == 0) {
        progressLine_.restart();
    }
    progressLine_.show(progress_);
}

void ConsoleView::beep() {
    if (terminal_) {
        std::fputc('\a', stderr);
        std::fflush(stderr);
    }
}

void ConsoleView::setRunningControls(bool running) {
    if (!running && terminal_) {
        progressLine_.stop();
    }
}

void ConsoleView::callLater(std::chrono::milliseconds delay, std::function<void()> action) {
    loop_.callLater(delay, std::move(action));
}

void ConsoleView::printLine(const std::string& line) {
    if (terminal_) {
        progressLine_.hide();
    }
    std::fputs(prefix_.c_str(), reportStream_);
    std::fputs(line.c_str(), reportStream_);
    std::fputc('\n', reportStream_);
    std::fflush(reportStream_);
    if (terminal_) {
        progressLine_.redraw();
    }
}

}  // namespace pelion::cli
