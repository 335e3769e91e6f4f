// One QApplication for the whole test program, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace pelion::test {
namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "gui_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] auto* const qtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
}  // namespace pelion::test
