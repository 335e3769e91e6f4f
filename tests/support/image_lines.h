// Test support: every line of a catalogue image, end-of-file record included, as the
// simulated logger's flash is compared against it.
#pragma once

#include <string>
#include <vector>

#include "firmware/catalogue.h"

namespace pelion::test {

inline std::vector<std::string> imageLines(int image) {
    return getFirmwareLines(image);
}

}  // namespace pelion::test
