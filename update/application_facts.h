// What a run read from the logger's application, kept for the repeats of the same user action.
// A repeat (after a wrong echo or a communication error) mostly finds the logger already in its
// bootloader, which cannot tell its serial number or the application version it ran; without
// them a pinned logger would lose its pin. The front end forgets them whenever the user starts
// a new action (PrepareRun); a worker remembers them as soon as it has read them.
#pragma once

#include <cstdint>

namespace pelion {

struct ApplicationFacts {
    std::uint16_t appVersion = 0;  // 0: the logger was not found in its application
    std::uint32_t serialNumber = 0;

    bool operator==(const ApplicationFacts&) const = default;
};

void rememberApplicationFacts(const ApplicationFacts& facts);
ApplicationFacts rememberedApplicationFacts();
void forgetApplicationFacts();

}  // namespace pelion
