#include "link/link_timing.h"

#include <algorithm>
#include <atomic>

namespace pelion {

namespace {

std::atomic<int> timeDivisor{1};

}  // namespace

void setLinkTimeDivisor(int divisor) {
    timeDivisor.store(std::max(divisor, 1));
}

int linkTimeDivisor() {
    return timeDivisor.load();
}

std::chrono::milliseconds linkWait(std::chrono::milliseconds real) {
    return real / timeDivisor.load();
}

}  // namespace pelion
