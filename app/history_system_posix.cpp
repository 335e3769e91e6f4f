#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "app/history_file.h"

namespace pelion {

std::optional<std::string> defaultHistoryPath() {
    // XDG base directories are absolute paths; a relative XDG_STATE_HOME is to be ignored.
    const char* stateHome = std::getenv("XDG_STATE_HOME");
    if (stateHome && stateHome[0] == '/') {
        return std::string(stateHome) + "/pelion-update/history.jsonl";
    }
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') {
        return std::string(home) + "/.local/state/pelion-update/history.jsonl";
    }
    return std::nullopt;
}

std::string hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    return gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string{};
}

}  // namespace pelion
