// The windows of pelion-update-gui on Qt's offscreen platform, each test with its own settings
// folder (the internal-mode gate) and a fresh option set.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTemporaryDir>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/gui_windows.h"

namespace pelion::test {

enum class Mode { normal, internal };

// Calls `answer` with the next modal window that opens, inside that window's own event loop.
// `opened` becomes true once it has been called.
void onNextModal(std::function<void(QWidget* modal)> answer, bool& opened);

// The button of `window` with this exact caption, or nullptr.
QAbstractButton* buttonWithText(QWidget* window, const QString& caption);

// What a confirmation question showed, and the answer given to it.
struct QuestionSeen {
    bool asked = false;
    QString title;
    QString text;
    QStringList buttons;
    QString defaultButton;
};
// Answers the next question box with the button captioned `answer`.
void answerNextQuestion(const QString& answer, QuestionSeen& seen);

// Reads the text of the next message window, runs `whileShown` while it is open, then presses
// its OK.
struct MessageSeen {
    bool shown = false;
    QString text;
};
void readNextMessage(GuiWindows& windows, MessageSeen& seen, std::function<void()> whileShown = {});

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates and shows the windows as the program does with these command-line elements.
    GuiWindows& start(Mode mode, std::vector<std::string> elements = {});
    TfrmMain& frmMain() { return windows_->frmMain; }
    GuiWindows& windows() { return *windows_; }

    // Waits, with the event loop running, until `done` holds; false on time-out.
    static bool waitFor(const std::function<bool()>& done,
                        std::chrono::milliseconds timeout = std::chrono::seconds(60));

private:
    QTemporaryDir configDir_;
    std::unique_ptr<GuiWindows> windows_;
};

}  // namespace pelion::test
