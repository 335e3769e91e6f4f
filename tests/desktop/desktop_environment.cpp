// One desktop (Xvfb and openbox) and one QApplication on it, on Qt's xcb platform, for the whole
// test program.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "tests/desktop/desktop_session.h"

namespace pelion::test {
namespace {

class DesktopEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        try {
            desktop_ = std::make_unique<DesktopSession>();
        } catch (const std::runtime_error& error) {
            // A failed environment would only skip the tests; a missing desktop is a failure.
            std::cerr << "no desktop for the tests: " << error.what() << '\n';
            std::exit(1);
        }
        qputenv("DISPLAY", desktop_->display().c_str());
        qputenv("QT_QPA_PLATFORM", "xcb");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override {
        app_.reset();
        desktop_.reset();
    }

private:
    int argc_ = 1;
    char name_[16] = "desktop_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<DesktopSession> desktop_;
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] auto* const desktopEnvironment =
    ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);

}  // namespace
}  // namespace pelion::test

// LeakSanitizer reads this when the program is built with it. On an X display Qt talks to the
// session bus through libdbus, which keeps one buffer of its own until the process ends; that
// buffer is no leak of this program's. Nothing else is suppressed.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}
