// The pinned logger cut at every kind of point, each time recovered through the update history:
// the second user action finds what the first recorded and takes the logger's recorded serial
// number and version, as pelion-update --resume does, so that it ends on the image the
// interrupted update was programming, never on the one its bootloader alone would get.
#pragma once

#include <string>
#include <vector>

#include "app/history_journal.h"
#include "reliability/power_cut_sweep.h"

namespace pelion::reliability {

// One cut point of each kind for the pinned logger; data lines torn at the start, the middle
// and the end of its image.
std::vector<CutPoint> historyCutPoints();

// A history file of its own for one cut point, gone with the object; its settings answer Yes.
class SweepHistory {
public:
    explicit SweepHistory(const CutPoint& cut);
    ~SweepHistory();
    SweepHistory(const SweepHistory&) = delete;
    SweepHistory& operator=(const SweepHistory&) = delete;

    HistorySettings settings() const;

private:
    std::string path_;
};

}  // namespace pelion::reliability
