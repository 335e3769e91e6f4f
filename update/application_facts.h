// What a run read from the logger's application, kept for the repeats of the same user action.
// A repeat (after a wrong echo or a communication error) mostly finds the logger already in its
// bootloader, which cannot tell its serial number or the application version it ran; without
// them a pinned logger would lose its pin. Each user action on each port has its own memory:
// the front end forgets it whenever the user starts a new action (PrepareRun) and hands it to
// every run of that action; a worker remembers the facts as soon as it has read them.
#pragma once

#include <cstdint>
#include <mutex>

namespace pelion {

struct ApplicationFacts {
    std::uint16_t appVersion = 0;  // 0: the logger was not found in its application
    std::uint32_t serialNumber = 0;

    bool operator==(const ApplicationFacts&) const = default;
};

// Written by a worker, read by the next worker of the same action, cleared by the front end.
class ApplicationFactsMemory {
public:
    void remember(const ApplicationFacts& facts);
    ApplicationFacts remembered() const;
    void forget();

private:
    mutable std::mutex mutex_;
    ApplicationFacts facts_;
};

}  // namespace pelion
