// What the command line says about the update history: where it is, whether it is written,
// and whether a logger left in its bootloader by an interrupted update takes the recorded facts.
#pragma once

#include <optional>
#include <string>

#include "app/history_journal.h"

namespace pelion::cli {

struct HistoryChoice {
    std::optional<std::string> file;  // --history-file; else the user's own
    bool off = false;                 // --no-history
    bool resume = false;              // --resume
};

// The history file the choice names; none with --no-history or when the system names no
// data folder.
std::shared_ptr<const HistoryFile> historyFileOf(const HistoryChoice& choice);

// How a run of the command line keeps its history.
HistorySettings commandLineHistory(const HistoryChoice& choice);

// --history: the records as a table, or as JSON lines with `json`. Returns the exit status.
int showHistory(const HistoryChoice& choice, bool json);

}  // namespace pelion::cli
