// The XDG base directories of the user (configuration, state), as Linux desktops place them.
#pragma once

#include <optional>
#include <string>

namespace pelion {

// `below` inside the folder that the environment variable `variable` names, else inside
// `homeDefault` below $HOME ("~/.config", "~/.local/state"). XDG folders are absolute paths; a
// relative one is ignored. None when neither gives a folder.
std::optional<std::string> xdgPath(const char* variable, const std::string& homeDefault,
                                   const std::string& below);

}  // namespace pelion
