// Cost of one exchange on the wire as the link thread does it, against the simulated logger
// without pacing: what is left is the updater's own work (purge, system calls, wake-ups) plus
// the simulator's.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "link/comm_thread.h"
#include "link/hex_record.h"
#include "sim/simulated_logger.h"

namespace {

using namespace pelion;

// A worker whose run is the benchmark loop itself.
class ExchangeLoop : public TCommThread {
public:
    ExchangeLoop(benchmark::State& state, NotificationTargetPtr outcome, const std::string& port,
                 bool dataLines)
        : TCommThread(std::make_shared<RunContext>(std::move(outcome)), tCMD0, port),
          state_(state),
          dataLines_(dataLines) {}

protected:
    void runUpdate() override {
        if (dataLines_) {
            enterProgramming();
        }
        for (auto _ : state_) {
            if (dataLines_) {
                sendLine(cDATA_LINE, 0x40, true);
            } else {
                sendCommand(true, 1, 0, 0, 0, 0, 0, 0);
            }
        }
    }

private:
    // A BL3 logger started in its bootloader takes data lines after the programming start.
    void enterProgramming() {
        HexRecord[0] = 1;
        HexRecord[1] = 0;
        HexRecord[2] = 0;
        HexRecord[3] = 5;
        HexRecord[4] = 0x31;
        recordToLine();
        sendLine(sHexLine, 1, true);
    }

    static inline const std::string cDATA_LINE =
        ":40124000" + std::string(128, 'A') + std::string("EE");

    benchmark::State& state_;
    bool dataLines_;
};

void runExchanges(benchmark::State& state, bool dataLines) {
    sim::LoggerConfig config;
    config.startInBootloader = true;
    sim::SimulatedLogger logger(config);
    auto outcome = std::make_shared<NotificationQueue>();
    ExchangeLoop loop(state, outcome, logger.portPath(), dataLines);
    loop.Execute();
    if (outcome->take().code != cNT_FINISHED) {
        state.SkipWithError("the simulated logger did not answer every exchange");
    }
}

void BM_commandFrameExchange(benchmark::State& state) {
    runExchanges(state, false);
}
BENCHMARK(BM_commandFrameExchange)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_dataLineExchange(benchmark::State& state) {
    runExchanges(state, true);
}
BENCHMARK(BM_dataLineExchange)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
