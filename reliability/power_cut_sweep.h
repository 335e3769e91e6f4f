// The power-cut sweep: for a logger of every embedded image, cut its power at one point of an
// update (each data line, torn in the middle of its record, and every moment outside the data
// lines), restore it, and update again as a user would. Every cut point must leave a logger
// that comes up (in its bootloader while its vector table is unwritten), a first run that was
// not reported as a success, and a second run that ends in success with the flash equal to the
// image.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "reliability/case_result.h"

namespace pelion::reliability {

enum class CutKind {
    tornWrite,  // on data line `line`, after `bytes` of its 64 bytes reached the flash
    afterEcho,  // right after the echo of data line `line`
    atJump,
    atUpdateIdQuery,
    atProgrammingStart,
    atEndCommand,
    afterEndCommand,
};

struct CutPoint {
    int image = 0;
    CutKind kind = CutKind::tornWrite;
    int line = -1;  // data line, counted from 0 at the programming start
    int bytes = 0;
    // Both user actions keep the update history, and the second takes the facts the first
    // recorded: it must end on `image` even where the logger's bootloader alone gets another.
    bool throughHistory = false;

    std::string name() const;  // e.g. "3:torn:17:12", "h8:jump", what --cut takes
    std::string describe() const;
};

std::optional<CutPoint> parseCutPoint(const std::string& text);

// Every cut point of every image, or of one image; those recovered through the history last.
std::vector<CutPoint> allCutPoints(std::optional<int> image = std::nullopt);

// Runs one cut point with the link's current waits.
CaseResult runCutPoint(const CutPoint& cut);

}  // namespace pelion::reliability
