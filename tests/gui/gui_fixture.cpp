#include "tests/gui/gui_fixture.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/options.h"
#include "firmware/catalogue.h"
#include "link/comm_thread.h"
#include "update/options.h"
#include "update/pelion_comm_thread.h"

namespace pelion::test {

namespace {

constexpr std::chrono::milliseconds cMODAL_POLL{10};

// Ends an unexpected modal window so that a failing test does not hang in its loop.
void closeModal(QWidget* modal) {
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->done(QDialog::Rejected);
    } else {
        modal->close();
    }
}

}  // namespace

void onNextModal(std::function<void(QWidget*)> answer, bool& opened) {
    opened = false;
    QPointer<QWidget> before = QApplication::activeModalWidget();
    auto* timer = new QTimer;
    timer->setInterval(cMODAL_POLL);
    QObject::connect(timer, &QTimer::timeout, [timer, before, answer, &opened] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == before || !modal->isVisible()) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        opened = true;
        answer(modal);
    });
    timer->start();
}

QAbstractButton* buttonWithText(QWidget* window, const QString& caption) {
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->text() == caption && button->isVisible()) {
            return button;
        }
    }
    return nullptr;
}

void answerNextQuestion(const QString& answer, QuestionSeen& seen) {
    onNextModal(
        [answer, &seen](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                ADD_FAILURE() << "a question was expected";
                closeModal(modal);
                return;
            }
            seen.title = box->windowTitle();
            seen.text = box->text();
            for (QAbstractButton* button : box->buttons()) {
                seen.buttons << button->text();
            }
            seen.defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            QAbstractButton* chosen = buttonWithText(box, answer);
            if (chosen == nullptr) {
                ADD_FAILURE() << "no button " << answer.toStdString();
                closeModal(modal);
                return;
            }
            chosen->click();
        },
        seen.asked);
}

void readNextMessage(GuiWindows& windows, MessageSeen& seen, std::function<void()> whileShown) {
    TfrmMessage* message = &windows.frmMessage;
    onNextModal(
        [message, &seen, whileShown](QWidget* modal) {
            if (modal != message) {
                ADD_FAILURE() << "the message window was expected";
                closeModal(modal);
                return;
            }
            seen.text = message->Memo1->toPlainText();
            if (whileShown) {
                whileShown();
            }
            message->Button1->click();
        },
        seen.shown);
}

void GuiTest::SetUp() {
    ASSERT_TRUE(configDir_.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configDir_.path()));
    nInternalLevel = 0;
    bClearsMeasurements = false;
    bCheckClass = bCheckLogger = bCheckPlatform = true;
    bReadInfoOnly = false;
    ChosenImage.store(-1);
    WorkerClass = &makeWorker<TPelionCommThread>;
}

void GuiTest::TearDown() {
    windows_.reset();
    EXPECT_TRUE(TCommThread::waitForWorkers(std::chrono::seconds(10)));
}

GuiWindows& GuiTest::start(Mode mode, std::vector<std::string> elements) {
    if (mode == Mode::internal) {
        QDir(configDir_.path()).mkpath("Tessaly");
        QFile conf(configDir_.filePath("Tessaly/Orvo.conf"));
        EXPECT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("[General]\nintern=6021\n");
    }
    elements.insert(elements.begin(), "pelion-update-gui");
    windows_ = std::make_unique<GuiWindows>(elements);
    windows_->frmMain.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&windows_->frmMain));
    QCoreApplication::processEvents();
    return *windows_;
}

bool GuiTest::waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return QTest::qWaitFor(done, static_cast<int>(timeout.count()));
}

}  // namespace pelion::test
