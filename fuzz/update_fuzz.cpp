// Fuzz target: one whole update run against a logger whose frames and answers the fuzz input
// loses, cuts, damages or delays (scripted_port.h). The first input byte picks the logger (one
// per embedded image, in its application or its bootloader) and the option flags. Whatever the
// input, the run ends with exactly one outcome, never with an error that is not the updater's
// own, and a run that ends as a success has left the chosen image in the logger's flash.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "firmware/catalogue.h"
#include "fuzz/scripted_port.h"
#include "link/comm_thread.h"
#include "link/link_timing.h"
#include "reliability/logger_setups.h"
#include "update/options.h"
#include "update/pelion_comm_thread.h"
#include "update/update_context.h"

namespace {

using namespace pelion;

class Outcomes : public NotificationTarget {
public:
    void post(std::uint32_t code, std::int32_t value) override {
        if (code == cNT_FINISHED || code == cNT_ABORTED || code == cNT_RETRY) {
            ends.push_back({code, value});
        }
    }
    std::vector<Notification> ends;
};

std::vector<std::string> chosenImageLines(const UpdateContext& run) {
    std::vector<std::string> lines;
    for (int n = 0; n <= run.chosenLastLine(); ++n) {
        lines.push_back(run.chosenLine(n));
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setLinkTimeDivisor(1 << 30);  // every pause and wait of the link becomes 0
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t setup = data[0];
    const auto& setups = reliability::loggerSetups();
    sim::LoggerConfig config = setups[setup % setups.size()].config;
    config.startInBootloader = (setup & 0x10) != 0;
    UpdateOptions options;
    options.bCheckClass = (setup & 0x20) == 0;
    options.bCheckPlatform = (setup & 0x40) == 0;
    options.bCheckLogger = (setup & 0x80) == 0;

    fuzz::ScriptedLine line(config, data + 1, size - 1);
    fuzz::useLine(&line);
    auto outcomes = std::make_shared<Outcomes>();
    auto run = std::make_shared<UpdateContext>(outcomes, options, -1, nullptr, nullptr);
    {
        TPelionCommThread worker(run, tCMD0, "fuzz");
        worker.Execute();
    }
    fuzz::useLine(nullptr);

    if (outcomes->ends.size() != 1) {
        std::abort();  // a run posts exactly one outcome
    }
    const Notification end = outcomes->ends.front();
    if (end.code == cNT_ABORTED && end.value == 0) {
        std::abort();  // an error that is not the updater's own escaped the run
    }
    if (end.code == cNT_FINISHED && !line.logger().flash().equals(chosenImageLines(*run))) {
        std::abort();  // a success without the image in the flash
    }
    return 0;
}
