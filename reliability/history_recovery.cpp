#include "reliability/history_recovery.h"

#include <unistd.h>

#include <filesystem>

#include "reliability/logger_setups.h"

namespace pelion::reliability {

namespace {

// The image whose logger its bootloader alone would give another image: the pinned one.
const LoggerSetup& pinnedSetup() {
    for (const LoggerSetup& setup : loggerSetups()) {
        if (setup.imageFromBootloader != setup.image) {
            return setup;
        }
    }
    return loggerSetups().front();
}

}  // namespace

std::vector<CutPoint> historyCutPoints() {
    const int image = pinnedSetup().image;
    const int lines = dataLineCount(image);
    std::vector<CutPoint> cuts;
    for (const int line : {0, lines / 2, lines - 1}) {
        cuts.push_back({image, CutKind::tornWrite, line, 32, true});
    }
    cuts.push_back({image, CutKind::afterEcho, lines - 1, 0, true});
    for (CutKind kind : {CutKind::atJump, CutKind::atUpdateIdQuery, CutKind::atProgrammingStart,
                         CutKind::atEndCommand, CutKind::afterEndCommand}) {
        cuts.push_back({image, kind, -1, 0, true});
    }
    return cuts;
}

SweepHistory::SweepHistory(const CutPoint& cut) {
    std::string name = "pelion-sweep-history-" + std::to_string(getpid()) + "-" + cut.name();
    for (char& c : name) {
        c = c == ':' ? '-' : c;
    }
    path_ = (std::filesystem::temp_directory_path() / (name + ".jsonl")).string();
    std::filesystem::remove(path_);
}

SweepHistory::~SweepHistory() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    std::filesystem::remove(path_ + ".1", ignored);
}

HistorySettings SweepHistory::settings() const {
    return {std::make_shared<const HistoryFile>(path_),
            "pelion-reliability",
            [](const std::string&) { return true; },
            {}};
}

}  // namespace pelion::reliability
