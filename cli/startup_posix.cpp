// Arguments and terminals are UTF-8 wherever the user's locale is.
#include "cli/startup.h"

namespace pelion::cli {

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void useUtf8Console() {}

}  // namespace pelion::cli
