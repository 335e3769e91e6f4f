#include <unistd.h>

#include <climits>

#include "app/history_file.h"
#include "app/xdg_folder.h"

namespace pelion {

std::optional<std::string> defaultHistoryPath() {
    return xdgPath("XDG_STATE_HOME", ".local/state", "pelion-update/history.jsonl");
}

std::string hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    return gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string{};
}

}  // namespace pelion
