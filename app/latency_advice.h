// What a USB serial adapter's latency timer costs an update, and what the user can do about
// it. The adapter holds back the end of every answer until its timer runs out, so each data
// line of an update waits for the next tick of the timer after its echo.
#pragma once

#include <optional>
#include <string>

#include "link/port_details.h"

namespace pelion {

// Up to this timer an update takes no longer than at the least setting, 1 ms.
inline constexpr int cLATENCY_HARMLESS_MS = 2;

// Whole seconds by which an update of the largest embedded image takes longer with this timer
// than with a timer of 1 ms.
int latencyCostSeconds(int timerMs);

// True where the updater works with the adapter's timer as it is set (Windows); false where it
// asks the driver for low latency while it holds the port (Linux).
bool updaterKeepsLatencyTimer();

// How to set this port's timer to 1 ms on this system.
std::string latencyTimerHowTo(const ComPortDetails& port);

// The words for a timer above cLATENCY_HARMLESS_MS: what it costs an update (nothing where the
// updater sets the timer itself) and how to set it.
std::string latencyTimerText(const ComPortDetails& port);

// The line shown before an update of `port`: none where its timer is unknown, harmless or set
// by the updater itself.
std::optional<std::string> latencyWarningBeforeUpdate(const std::string& port);

}  // namespace pelion
