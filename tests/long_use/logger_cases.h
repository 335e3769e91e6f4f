// The loggers a long day at the service bench brings, in turn: one of every embedded image on a
// clean line, and some that make trouble. Each run gets a fresh simulated logger, unpaced.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "sim/simulated_logger.h"

namespace pelion::test {

enum class Trouble {
    none,
    inBootloader,      // found in its bootloader (a power cut during an earlier update)
    muted,             // loses the first frames: a communication error, then a repeat
    wrongEcho,         // echoes one data line wrongly: a programming error, then a repeat
    foreignClass,      // its application answers with a class that is not a Pelion logger's
    wrongBootedClass,  // comes back after programming with a class other than the image's
};

struct LoggerCase {
    int image;  // the embedded image whose logger this is (its setup)
    Trouble trouble;
};

// The case of run `run` (0-based); the schedule repeats.
LoggerCase loggerCase(std::size_t run);

// "image 6, wrong echo"
std::string describe(const LoggerCase& c);

// Waits of the link divided by this for every long-use run (link/link_timing.h); the logger's
// frame gap shrinks with them.
inline constexpr int cLINK_TIME_DIVISOR = 10;

// A simulated logger that shows the case.
std::unique_ptr<sim::SimulatedLogger> loggerFor(const LoggerCase& c);

struct Expected {
    std::string verdict;
    int image;      // the image in the flash after a success; -1 when no success is expected
    int repeats;    // runs that the action starts after its first
    int abortCode;  // 0 for a success
};
Expected expectedOf(const LoggerCase& c);

// The run count of a long-use test: the environment variable `name` when set, else `fallback`.
// A value that is not a whole number fails the test and counts 0 runs.
std::size_t runCount(const char* name, std::size_t fallback);

}  // namespace pelion::test
