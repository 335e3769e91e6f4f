// The exit status of one run: 0 when it was completed, else its abort code (1 for a fatal
// error).
#pragma once

#include "app/run_control.h"

namespace pelion::cli {

int exitStatus(const RunOutcome& outcome);

}  // namespace pelion::cli
