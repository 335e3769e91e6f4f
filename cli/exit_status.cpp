#include "cli/exit_status.h"

namespace pelion::cli {

int exitStatus(const RunOutcome& outcome) {
    return exitStatusOf(outcome);
}

}  // namespace pelion::cli
