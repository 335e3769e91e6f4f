// The fault soak: whole updates against a simulated logger on a line with seeded faults mixed
// in (byte noise in both directions; lost, corrupted, short, garbled and stalled answers;
// not-ready status; wrong echoes; a power cut; the cable pulled). Whatever happens, a run that
// reports success must have left the image in the flash, every other run must end in words,
// and an update on a clean line afterwards must recover the logger.
#pragma once

#include <cstdint>
#include <string>

#include "reliability/case_result.h"

namespace pelion::reliability {

struct SoakResult {
    std::string outcome;  // how the faulty run ended, e.g. "finished", "aborted 41"
    CaseResult check;     // every check held when its failure is empty
    std::string faults;   // the faults of this seed, in words
};

// Runs one seed with the link's current waits.
SoakResult runSoakSeed(std::uint64_t seed);

}  // namespace pelion::reliability
