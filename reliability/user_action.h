// One press of Update as a user makes it, without a window: the run control of every front end
// with a view that only writes down what a user would see, repeats included, until the run
// ends for good.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "app/run_control.h"

namespace pelion::reliability {

struct ActionResult {
    std::optional<RunOutcome> outcome;  // none: the run had not ended within its time limit
    std::string verdict;                // the text of the final message, empty when none
    int workers = 0;                    // runs started, repeats included
    // Set when the run control posted a second outcome, or when no worker was left to post
    // one while none had come: a broken promise, not a slow machine.
    std::string outcomeFault;
};

// Runs one update on `port`. `maxRepeats` bounds the repeats after communication errors as
// pelion-update's --max-repeats does. The repeat wait is shortened with the link's waits.
// `history`: the update history the action keeps, none by default.
ActionResult pressUpdate(const std::string& port, std::optional<int> maxRepeats,
                         std::chrono::milliseconds limit, const HistorySettings& history = {});

}  // namespace pelion::reliability
