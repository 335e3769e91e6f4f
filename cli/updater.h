// pelion-update from its command line to its exit status.
#pragma once

#include <string>
#include <vector>

namespace pelion::cli {

inline constexpr int cEXIT_OK = 0;
inline constexpr int cEXIT_FATAL = 1;
inline constexpr int cEXIT_USAGE = 2;

// `args` are the command-line elements after the program path.
int runUpdater(const std::vector<std::string>& args);

}  // namespace pelion::cli
