#include "reliability/fault_soak.h"

#include <atomic>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "app/notification_texts.h"
#include "firmware/catalogue.h"
#include "link/link_timing.h"
#include "reliability/logger_setups.h"
#include "reliability/user_action.h"
#include "sim/simulated_logger.h"

namespace pelion::reliability {

namespace {

constexpr std::uint16_t cVECTOR_TABLE = 0x03DF;
constexpr int cMAX_REPEATS = 2;
constexpr std::chrono::seconds cACTION_LIMIT{300};
// The longest answer wait of the link: a 64-byte line answer (139 characters + 200 ms).
constexpr std::chrono::milliseconds cLONGEST_READ{339};

// A fault that strikes once the logger has received `atFrame` frames.
struct FaultEvent {
    std::size_t atFrame;
    std::string text;
    std::function<void(sim::SimulatedLogger&)> apply;
};

struct FaultPlan {
    std::vector<std::string> armed;  // set before the run
    std::vector<FaultEvent> events;  // in frame order
};

// The logger of this seed, pinned loggers among them.
const LoggerSetup& pickSetup(std::mt19937_64& random) {
    const auto& setups = loggerSetups();
    return setups[random() % setups.size()];
}

// The image a user action must leave: a logger found in its bootloader cannot tell its pin.
int expectedImage(const LoggerSetup& setup, bool inBootloader) {
    return inBootloader ? setup.imageFromBootloader : setup.image;
}

int pick(std::mt19937_64& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

bool chance(std::mt19937_64& random, double p) {
    return std::uniform_real_distribution<double>(0, 1)(random) < p;
}

sim::NoiseRates noiseRates(std::mt19937_64& random) {
    static constexpr double cLEVELS[] = {1e-5, 5e-5, 2e-4, 1e-3};
    const double level = cLEVELS[random() % std::size(cLEVELS)];
    sim::NoiseRates r;
    r.drop = chance(random, 0.6) ? level : 0;
    r.flip = chance(random, 0.6) ? level : 0;
    r.duplicate = chance(random, 0.5) ? level : 0;
    r.insert = chance(random, 0.5) ? level : 0;
    return r;
}

std::string ratesText(const sim::NoiseRates& r) {
    char text[160];
    std::snprintf(text, sizeof text, "drop %g, flip %g, duplicate %g, insert %g", r.drop, r.flip,
                  r.duplicate, r.insert);
    return text;
}

FaultPlan planFaults(std::mt19937_64& random, sim::SimulatedLogger& logger, std::uint64_t seed,
                     int dataLines) {
    FaultPlan plan;
    if (chance(random, 0.5)) {
        const sim::NoiseRates toLogger = noiseRates(random);
        const sim::NoiseRates fromLogger = noiseRates(random);
        logger.setLineNoise(seed, toLogger, fromLogger);
        plan.armed.push_back("noise to the logger (" + ratesText(toLogger) + "), from it (" +
                             ratesText(fromLogger) + ")");
    }
    if (chance(random, 0.15)) {
        const int line = pick(random, 0, dataLines - 1);
        logger.wrongEchoAtDataLine(line);
        plan.armed.push_back("wrong echo of data line " + std::to_string(line));
    }
    if (chance(random, 0.1)) {
        const int line = pick(random, 0, dataLines - 1);
        const int bytes = pick(random, 0, 64);
        logger.tornWriteAtDataLine(line, bytes);
        plan.armed.push_back("power cut on data line " + std::to_string(line) + " (" +
                             std::to_string(bytes) + " bytes written)");
    }
    if (chance(random, 0.1)) {
        const int frames = pick(random, 1, dataLines + 10);
        logger.pullCableAfterFrames(frames);
        plan.armed.push_back("cable pulled after " + std::to_string(frames) + " frames");
    }
    // Counted faults strike from a chosen frame on.
    const auto stall = 2 * linkWait(cLONGEST_READ) + std::chrono::milliseconds(5);
    struct Kind {
        const char* name;
        int most;
        std::function<void(sim::SimulatedLogger&, int)> apply;
    };
    const Kind kinds[] = {
        {"lost frames", 6, [](auto& l, int k) { l.muteNextExchanges(k); }},
        {"corrupted answers", 6, [](auto& l, int k) { l.corruptNextAnswers(k); }},
        {"short answers", 6, [](auto& l, int k) { l.shortNextAnswers(k); }},
        {"garbled answers", 6, [](auto& l, int k) { l.garbleNextAnswers(k); }},
        {"stalled answers", 2, [stall](auto& l, int k) { l.stallNextAnswers(k, stall); }},
        {"not-ready answer frames", 1, [](auto& l, int k) { l.notReadyNextAnswers(k); }},
    };
    const int events = pick(random, 0, 3);
    for (int e = 0; e < events; ++e) {
        const Kind& kind = kinds[random() % std::size(kinds)];
        const int k = pick(random, 1, kind.most);
        const auto at = static_cast<std::size_t>(pick(random, 0, dataLines + 10));
        auto apply = kind.apply;
        plan.events.push_back(
            {at, std::to_string(k) + " " + kind.name + " from frame " + std::to_string(at),
             [apply, k](sim::SimulatedLogger& l) { apply(l, k); }});
    }
    std::sort(plan.events.begin(), plan.events.end(),
              [](const auto& a, const auto& b) { return a.atFrame < b.atFrame; });
    return plan;
}

std::string joined(const FaultPlan& plan) {
    std::string text;
    auto add = [&](const std::string& s) { text += (text.empty() ? "" : "; ") + s; };
    for (const auto& a : plan.armed) {
        add(a);
    }
    for (const auto& e : plan.events) {
        add(e.text);
    }
    return text.empty() ? "none" : text;
}

std::string outcomeName(const ActionResult& r) {
    if (!r.outcome) {
        return "did not end";
    }
    switch (r.outcome->kind) {
        case RunOutcome::finished:
            return "finished";
        case RunOutcome::repeatsExhausted:
            return "repeats exhausted";
        case RunOutcome::aborted:
            return "aborted " + std::to_string(r.outcome->abortCode);
    }
    return "?";
}

// Strikes each event once its frame has come, until the run is over.
class FaultStriker {
public:
    FaultStriker(sim::SimulatedLogger& logger, std::vector<FaultEvent> events)
        : thread_([this, &logger, events = std::move(events)] {
              for (const FaultEvent& e : events) {
                  while (!logger.waitForReceived(e.atFrame, std::chrono::milliseconds(20))) {
                      if (done_.load()) {
                          return;
                      }
                  }
                  e.apply(logger);
              }
          }) {}
    ~FaultStriker() {
        done_.store(true);
        thread_.join();
    }

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

bool slowRun(const ActionResult& r) {
    return !r.outcome || r.outcome->kind == RunOutcome::repeatsExhausted;
}

// "Fatal Exception has occurred!" is what a user sees for an error the updater does not know,
// whatever code came with it.
bool endedInFatalException(const ActionResult& r) {
    return r.verdict == cTXT_FATAL || (r.outcome && r.outcome->kind == RunOutcome::aborted &&
                                       !abortText(r.outcome->abortCode, {}).known);
}

CaseResult checkRecovered(sim::SimulatedLogger& logger, int image, const ActionResult& r,
                          const char* run) {
    if (!r.outcomeFault.empty()) {
        return CaseResult::breach(std::string("the ") + run + ": " + r.outcomeFault);
    }
    if (!r.outcome || r.outcome->kind != RunOutcome::finished) {
        const std::string what = std::string(run) + " " + outcomeName(r) + " \"" + r.verdict + "\"";
        return slowRun(r) ? CaseResult::timedOut(what) : CaseResult::breach(what);
    }
    if (!logger.flashEquals(getFirmwareLines(image))) {
        return CaseResult::breach(std::string("FALSE SUCCESS: the ") + run + " reported \"" +
                                  r.verdict + "\" but the flash is not image " +
                                  std::to_string(image));
    }
    const auto order = logger.writeOrder();
    if (order.empty() || order.back() != cVECTOR_TABLE || logger.inBootloader()) {
        return CaseResult::breach(std::string("the ") + run +
                                  " reported success but the logger did not boot it");
    }
    return CaseResult::held();
}

}  // namespace

SoakResult runSoakSeed(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const LoggerSetup& setup = pickSetup(random);
    sim::LoggerConfig config = setup.config;
    config.startInBootloader = chance(random, 0.2);
    config.resyncGap = std::max(linkWait(config.resyncGap), std::chrono::milliseconds(5));
    sim::SimulatedLogger logger(config);
    FaultPlan plan = planFaults(random, logger, seed, dataLineCount(setup.image));

    SoakResult result;
    result.faults = "image " + std::to_string(setup.image) +
                    (config.startInBootloader ? " (in its bootloader)" : "") + ": " + joined(plan);
    ActionResult first;
    {
        FaultStriker striker(logger, plan.events);
        first = pressUpdate(logger.portPath(), cMAX_REPEATS, cACTION_LIMIT);
    }
    result.outcome = outcomeName(first);
    if (!first.outcomeFault.empty()) {
        result.check = CaseResult::breach("the faulty run: " + first.outcomeFault);
        return result;
    }
    if (!first.outcome) {
        result.check = CaseResult::timedOut("the faulty run did not end within " +
                                            std::to_string(cACTION_LIMIT.count()) + " s");
        return result;
    }
    if (first.outcome->kind == RunOutcome::finished) {
        result.check = checkRecovered(logger, expectedImage(setup, config.startInBootloader), first,
                                      "faulty run");
        return result;
    }
    if (first.verdict.empty() || endedInFatalException(first)) {
        result.check = CaseResult::breach("the faulty run ended without a verdict in words: \"" +
                                          first.verdict + "\" (" + result.outcome + ")");
        return result;
    }

    logger.clearFaults();
    if (logger.powerIsCut()) {
        logger.restart();
    }
    if (!logger.cableIn()) {
        logger.plugIn();
    }
    const int expected = expectedImage(setup, logger.inBootloader());
    const ActionResult again = pressUpdate(logger.portPath(), cMAX_REPEATS, cACTION_LIMIT);
    result.check = checkRecovered(logger, expected, again, "re-run on a clean line");

    return result;
}

}  // namespace pelion::reliability
