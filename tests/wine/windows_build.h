// What the cross build in build/win32 was set up to make, read from its CMake cache as the
// packaging reads it. The window program's tests go by this setting, not by whether an .exe
// lies there: a build set up with the window program that left none fails them, and a leftover
// from an earlier build does not make them run.
#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace pelion::test {

// The PELION_GUI setting of the cross build whose window program is `guiProgram`; none when that
// folder holds no configured build.
inline std::optional<bool> windowsBuildHasWindowProgram(const std::filesystem::path& guiProgram) {
    std::ifstream cache(guiProgram.parent_path() / "CMakeCache.txt");
    if (!cache) {
        return std::nullopt;
    }
    for (std::string line; std::getline(cache, line);) {
        if (line.starts_with("PELION_GUI:")) {
            return line.substr(line.find('=') + 1) == "ON";
        }
    }
    return false;
}

// Why the window program's tests have nothing to run, or empty when they must run.
inline std::string whyNoWindowProgram(const std::filesystem::path& guiProgram) {
    const auto built = windowsBuildHasWindowProgram(guiProgram);
    if (!built) {
        return "no cross build in " + guiProgram.parent_path().string() +
               " (./run test and ./run windows make one)";
    }
    return *built ? std::string{}
                  : "the cross build in " + guiProgram.parent_path().string() +
                        " has no window program (no Qt for Windows was found)";
}

}  // namespace pelion::test
