// Ctrl-C belongs to the run that is going on. One that comes after a run has ended must neither
// harm the program (a production line runs run after run in one process) nor cancel the next run.
#include <gtest/gtest.h>

#include <csignal>

#include "cli/console.h"
#include "cli/updater.h"

namespace pelion::test {
namespace {

// The abort code of a run whose port is not there.
constexpr int cPORT_NOT_READY = 10;

int updateAbsentPort() {
    return cli::runUpdater({"--port", "/dev/pelion-absent-port", "--yes"});
}

TEST(Interrupt, CtrlCAfterARunIsHarmlessAndLeavesTheNextRunAlone) {
    ASSERT_EQ(updateAbsentPort(), cPORT_NOT_READY);

    std::raise(SIGINT);
    EXPECT_TRUE(cli::interruptFlag().load()) << "Ctrl-C after the run is still caught";

    EXPECT_EQ(updateAbsentPort(), cPORT_NOT_READY) << "the next run ends by itself, not cancelled";
    EXPECT_FALSE(cli::interruptFlag().load());
}

}  // namespace
}  // namespace pelion::test

// A Ctrl-C stored into a run's ended stack frame is found only when frames outlive their
// functions, as this option makes them under AddressSanitizer.
extern "C" const char* __asan_default_options() {
    return "detect_stack_use_after_return=1";
}
