// The command line of pelion-update: its own options and the updater's elements ("cc:-", ...).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/history_choice.h"

namespace pelion::cli {

// A port without a logger costs some 3.2 s per repeat: eight end it within half a minute,
// and leave room for the odd repeat of a healthy update.
inline constexpr int cDEFAULT_MAX_REPEATS = 8;

struct Arguments {
    std::vector<std::string> ports;          // --port, in the order given
    bool allPorts = false;                   // --all
    bool json = false;                       // --json: the events as JSON lines on standard output
    std::optional<std::string> file;         // program this firmware file as image 0
    std::optional<std::string> fileVersion;  // show the header of this firmware file
    // Repeats of a run after each kind of error; none: without limit.
    std::optional<int> maxRepeats = cDEFAULT_MAX_REPEATS;
    bool listPorts = false;
    bool tabSeparated = false;  // --list-ports for scripts
    bool listFirmware = false;
    bool check = false;  // --check: look at each port and its logger, change nothing
    bool readInfoOnly = false;
    bool yes = false;
    bool help = false;
    bool version = false;
    bool showHistory = false;           // --history: print the update history and exit
    HistoryChoice history;              // --history-file, --no-history, --resume
    std::vector<std::string> elements;  // everything that is not an option, in order
};

// Parses argv[1..]; a usage error comes back as `error`, in words for the user.
struct Parsed {
    Arguments arguments;
    std::string error;
};

Parsed parseArguments(const std::vector<std::string>& args);

std::string helpText();

}  // namespace pelion::cli
