#include "reliability/power_cut_sweep.h"

#include <array>
#include <sstream>

#include "app/notification_texts.h"
#include "firmware/catalogue.h"
#include "link/link_timing.h"
#include "reliability/history_recovery.h"
#include "reliability/logger_setups.h"
#include "reliability/user_action.h"
#include "sim/simulated_logger.h"

namespace pelion::reliability {

namespace {

constexpr std::uint16_t cVECTOR_TABLE = 0x03DF;
// One repeat after the communication error, as a user of pelion-update --max-repeats 1 gets:
// enough to see that a dead logger stays an error.
constexpr int cMAX_REPEATS = 1;
constexpr std::chrono::seconds cACTION_LIMIT{180};

struct KindName {
    CutKind kind;
    const char* word;
    const char* text;
    sim::PowerCut point;
};

constexpr KindName cKINDS[] = {
    {CutKind::tornWrite, "torn", "torn write of data line", sim::PowerCut::none},
    {CutKind::afterEcho, "echo", "after the echo of data line", sim::PowerCut::none},
    {CutKind::atJump, "jump", "at the bootloader jump", sim::PowerCut::atJump},
    {CutKind::atUpdateIdQuery, "upid", "at the update-ID query", sim::PowerCut::atUpdateIdQuery},
    {CutKind::atProgrammingStart, "start", "at the programming start",
     sim::PowerCut::atProgrammingStart},
    {CutKind::atEndCommand, "end", "at the programming end", sim::PowerCut::atEndCommand},
    {CutKind::afterEndCommand, "booting", "after the programming end, while the firmware boots",
     sim::PowerCut::afterEndCommand},
};

const KindName& nameOf(CutKind kind) {
    for (const auto& k : cKINDS) {
        if (k.kind == kind) {
            return k;
        }
    }
    return cKINDS[0];
}

bool onDataLine(CutKind kind) {
    return kind == CutKind::tornWrite || kind == CutKind::afterEcho;
}

void arm(sim::SimulatedLogger& logger, const CutPoint& cut) {
    switch (cut.kind) {
        case CutKind::tornWrite:
            logger.tornWriteAtDataLine(cut.line, cut.bytes);
            return;
        case CutKind::afterEcho:
            logger.powerCutAfterEchoOf(cut.line);
            return;
        default:
            logger.powerCutAt(nameOf(cut.kind).point);
    }
}

// The simulated logger's idea of a frame gap shrinks with the updater's waits.
sim::LoggerConfig configFor(const LoggerSetup& setup) {
    sim::LoggerConfig config = setup.config;
    config.resyncGap = std::max(linkWait(config.resyncGap), std::chrono::milliseconds(5));
    return config;
}

std::string outcomeText(const ActionResult& r) {
    if (!r.outcome) {
        return "did not end within " + std::to_string(cACTION_LIMIT.count()) + " s";
    }
    return "ended with \"" + r.verdict + "\"";
}

// A run that did not end in time or used up its repeats: what a loaded machine can cause with
// the shortened waits.
bool slowRun(const ActionResult& r) {
    return !r.outcome || r.outcome->kind == RunOutcome::repeatsExhausted;
}

}  // namespace

std::string CutPoint::name() const {
    std::string s = (throughHistory ? "h" : "") + std::to_string(image) + ":" + nameOf(kind).word;
    if (onDataLine(kind)) {
        s.append(":").append(std::to_string(line));
    }
    if (kind == CutKind::tornWrite) {
        s.append(":").append(std::to_string(bytes));
    }
    return s;
}

std::string CutPoint::describe() const {
    std::string s = "image " + std::to_string(image) + ", " + nameOf(kind).text;
    if (onDataLine(kind)) {
        s.append(" ").append(std::to_string(line));
    }
    if (kind == CutKind::tornWrite) {
        s += " (" + std::to_string(bytes) + " of 64 bytes written)";
    }
    if (throughHistory) {
        s += ", recovered through the history";
    }
    return s;
}

std::optional<CutPoint> parseCutPoint(const std::string& text) {
    std::istringstream in(text);
    std::string image;
    std::string kind;
    std::string line;
    std::string bytes;
    std::getline(in, image, ':');
    std::getline(in, kind, ':');
    std::getline(in, line, ':');
    std::getline(in, bytes, ':');
    CutPoint cut;
    cut.throughHistory = image.starts_with('h');
    try {
        cut.image = std::stoi(image.substr(cut.throughHistory ? 1 : 0));
        const auto* k = std::find_if(std::begin(cKINDS), std::end(cKINDS),
                                     [&](const KindName& n) { return kind == n.word; });
        if (k == std::end(cKINDS) || cut.image < 1 ||
            cut.image > static_cast<int>(loggerSetups().size())) {
            return std::nullopt;
        }
        cut.kind = k->kind;
        if (onDataLine(cut.kind)) {
            cut.line = std::stoi(line);
        }
        if (cut.kind == CutKind::tornWrite) {
            cut.bytes = std::stoi(bytes);
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return cut;
}

std::vector<CutPoint> allCutPoints(std::optional<int> image) {
    std::vector<CutPoint> cuts;
    for (const LoggerSetup& setup : loggerSetups()) {
        if (image && setup.image != *image) {
            continue;
        }
        const int lines = dataLineCount(setup.image);
        // Each data line is torn at another place of its record, from nothing written (0) to
        // all of it written but not echoed (64).
        for (int k = 0; k < lines; ++k) {
            cuts.push_back({setup.image, CutKind::tornWrite, k, (k * 37 + setup.image) % 65});
        }
        // After the last echo comes the pause before the programming end.
        cuts.push_back({setup.image, CutKind::afterEcho, lines - 1, 0});
        for (CutKind kind : {CutKind::atJump, CutKind::atUpdateIdQuery, CutKind::atProgrammingStart,
                             CutKind::atEndCommand, CutKind::afterEndCommand}) {
            // The oldest bootloader is asked for no update-ID block.
            if (kind == CutKind::atUpdateIdQuery && setup.config.blClass == 0xC800) {
                continue;
            }
            cuts.push_back({setup.image, kind});
        }
    }
    for (const CutPoint& cut : historyCutPoints()) {
        if (!image || cut.image == *image) {
            cuts.push_back(cut);
        }
    }
    return cuts;
}

CaseResult runCutPoint(const CutPoint& cut) {
    const LoggerSetup& setup = loggerSetups().at(cut.image - 1);
    sim::SimulatedLogger logger(configFor(setup));
    arm(logger, cut);
    const std::optional<SweepHistory> history =
        cut.throughHistory ? std::make_optional<SweepHistory>(cut) : std::nullopt;
    const HistorySettings historySettings = history ? history->settings() : HistorySettings{};

    const ActionResult first =
        pressUpdate(logger.portPath(), cMAX_REPEATS, cACTION_LIMIT, historySettings);
    if (!first.outcomeFault.empty()) {
        return CaseResult::breach("the first run: " + first.outcomeFault);
    }
    if (first.outcome && first.outcome->kind == RunOutcome::finished) {
        return CaseResult::breach("FALSE SUCCESS: the first run reported \"" + first.verdict +
                                  "\"");
    }
    if (first.verdict == cTXT_FATAL) {
        return CaseResult::breach("the first run " + outcomeText(first));
    }
    if (!logger.powerIsCut()) {
        const std::string what = "the power was never cut; the first run " + outcomeText(first);
        return slowRun(first) ? CaseResult::timedOut(what) : CaseResult::breach(what);
    }
    if (!first.outcome) {
        return CaseResult::timedOut("the first run " + outcomeText(first));
    }
    // The vector table goes last: once it is written, every other record must be there.
    if (logger.vectorTableWritten() && !logger.flashEquals(getFirmwareLines(setup.image))) {
        return CaseResult::breach("the vector table was written before the rest of the image");
    }

    logger.restart();
    if (!logger.vectorTableWritten() && !logger.inBootloader() && cut.kind != CutKind::atJump &&
        cut.kind != CutKind::atUpdateIdQuery && cut.kind != CutKind::atProgrammingStart) {
        return CaseResult::breach(
            "after the power came back the logger started an incomplete application");
    }
    if (logger.inBootloader() && logger.vectorTableWritten()) {
        return CaseResult::breach(
            "after the power came back the logger stayed in its bootloader with the vector "
            "table written");
    }
    const int expected =
        logger.inBootloader() && !cut.throughHistory ? setup.imageFromBootloader : setup.image;

    const ActionResult second =
        pressUpdate(logger.portPath(), cMAX_REPEATS, cACTION_LIMIT, historySettings);
    if (!second.outcomeFault.empty()) {
        return CaseResult::breach("the second run: " + second.outcomeFault);
    }
    if (!second.outcome || second.outcome->kind != RunOutcome::finished) {
        const std::string what =
            "the second run " + outcomeText(second) + " (first run " + outcomeText(first) + ")";
        return slowRun(second) && second.verdict != cTXT_FATAL ? CaseResult::timedOut(what)
                                                               : CaseResult::breach(what);
    }
    if (!logger.flashEquals(getFirmwareLines(expected))) {
        return CaseResult::breach(
            "FALSE SUCCESS: the second run reported success but the flash is "
            "not image " +
            std::to_string(expected));
    }
    const auto order = logger.writeOrder();
    if (order.empty() || order.back() != cVECTOR_TABLE || logger.inBootloader()) {
        return CaseResult::breach("after the second run the logger did not boot its new firmware");
    }
    return CaseResult::held();
}

}  // namespace pelion::reliability
