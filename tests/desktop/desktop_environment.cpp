// One desktop (Xvfb and openbox) and one QApplication on it, on Qt's xcb platform, for the whole
// test program.
#include <gtest/gtest.h>

#include <QApplication>
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
            FAIL() << error.what();
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
