#include "cli/history_choice.h"

#include <cstdio>
#include <map>

#include "app/safe_text.h"
#include "cli/text_table.h"
#include "cli/updater.h"

namespace pelion::cli {

namespace {

std::string versionText(std::uint16_t version) {
    return std::to_string(version >> 8) + "." + std::to_string(version & 0xFF);
}

std::string loggerCell(const RecordedLogger& l) {
    if (l.serialNumber && l.appVersion) {
        return "SN " + std::to_string(*l.serialNumber) + ", V" + versionText(*l.appVersion);
    }
    if (l.cls) {
        return "class " + std::to_string(*l.cls) +
               (l.version ? ", V" + versionText(*l.version) : "");
    }
    return "-";
}

std::string imageCell(const RecordedImage& image) {
    if (image.index < 0) {
        return "-";
    }
    return (image.index == 0 ? std::string("file") : "image " + std::to_string(image.index)) +
           " (V" + image.version + ")";
}

std::string verdictCell(const HistoryRecord& r) {
    if (r.state == cSTATE_PROGRAMMING) {
        return "(interrupted while programming)";
    }
    return r.verdict;
}

// One row per run, in the order the runs began; a run's last record speaks for it.
std::vector<TextRow> historyRows(const std::vector<HistoryRecord>& records) {
    std::vector<const HistoryRecord*> runs;
    std::map<std::string, std::size_t> rowOfRun;
    for (const HistoryRecord& r : records) {
        const auto [it, isNew] = rowOfRun.try_emplace(r.id, runs.size());
        if (isNew) {
            runs.push_back(&r);
        } else {
            runs[it->second] = &r;
        }
    }
    std::vector<TextRow> rows{{"TIME", "PORT", "LOGGER", "IMAGE", "VERDICT"}};
    for (const HistoryRecord* r : runs) {
        rows.push_back(
            {r->started, r->port, loggerCell(r->logger), imageCell(r->image), verdictCell(*r)});
    }
    return rows;
}

}  // namespace

std::shared_ptr<const HistoryFile> historyFileOf(const HistoryChoice& choice) {
    if (choice.off) {
        return nullptr;
    }
    const std::optional<std::string> path = choice.file ? choice.file : defaultHistoryPath();
    return path ? std::make_shared<const HistoryFile>(*path) : nullptr;
}

HistorySettings commandLineHistory(const HistoryChoice& choice) {
    const bool resume = choice.resume;
    return {historyFileOf(choice), "pelion-update", [resume](const std::string&) { return resume; },
            resume ? "" : " Start pelion-update again with --resume to use them."};
}

int showHistory(const HistoryChoice& choice, bool json) {
    const auto file = historyFileOf(choice);
    if (!file) {
        std::fprintf(stderr,
                     "pelion-update: no data folder is known (HOME is not set); name "
                     "the history with --history-file\n");
        return cEXIT_USAGE;
    }
    const HistoryRead history = file->read();
    if (!history.problem.empty()) {
        std::fprintf(stderr, "pelion-update: %s\n", safeText(history.problem).c_str());
        return cEXIT_FATAL;
    }
    if (history.skippedLines > 0) {
        std::fprintf(stderr,
                     "pelion-update: %d line(s) of the history %s are not whole records (cut "
                     "by a crash or a full disk) and were skipped\n",
                     history.skippedLines, safeText(file->path()).c_str());
    }
    if (json) {
        for (const HistoryRecord& r : history.records) {
            std::printf("%s\n", historyLine(r).c_str());
        }
    } else if (history.records.empty()) {
        std::fprintf(stderr, "pelion-update: the history %s holds no update yet\n",
                     safeText(file->path()).c_str());
    } else {
        std::fputs(alignedTable(historyRows(history.records)).c_str(), stdout);
    }
    std::fflush(stdout);
    return cEXIT_OK;
}

}  // namespace pelion::cli
