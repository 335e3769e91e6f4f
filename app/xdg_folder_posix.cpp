#include "app/xdg_folder.h"

#include <cstdlib>

namespace pelion {

std::optional<std::string> xdgPath(const char* variable, const std::string& homeDefault,
                                   const std::string& below) {
    const char* folder = std::getenv(variable);
    if (folder && folder[0] == '/') {
        return std::string(folder) + "/" + below;
    }
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') {
        return std::string(home) + "/" + homeDefault + "/" + below;
    }
    return std::nullopt;
}

}  // namespace pelion
