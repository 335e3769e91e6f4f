// The option set of the front ends and the command-line elements that steer it. The flags of
// the update procedure itself live in update/options.h.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "app/notification_texts.h"

namespace pelion {

// 0 normal, 1 internal mode, 2 internal mode with the firmware file commands ("f:+").
extern std::int32_t nInternalLevel;
// The Update question warns that the update clears all measurements ("mf:+").
extern bool bClearsMeasurements;

// The value of the first element that starts with `name` (letters A to Z in any case) and has at
// least one character after it, cut to 1000 characters; `def` when there is none. `elements`
// are the command-line elements after the program path.
std::string getOption(std::span<const std::string> elements, std::string_view name,
                      std::string_view def);

// Settles the option set from the command-line elements: "cc:-", "cf:-", "cp:-" and "f:+" only
// in internal mode, "mf:+"/"mf:-" always. Only a value of exactly "-" or "+" acts.
void applyCommandLineOptions(std::span<const std::string> elements, bool internal);

// The question the Update command asks before it starts, or nullptr for none.
const Question* updateQuestion();

}  // namespace pelion
