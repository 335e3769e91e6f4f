#include "cli/exit_status.h"

#include "app/notification_texts.h"
#include "cli/updater.h"

namespace pelion::cli {

int exitStatus(const RunOutcome& outcome) {
    switch (outcome.kind) {
        case RunOutcome::finished:
            return cEXIT_OK;
        case RunOutcome::repeatsExhausted:
            return outcome.abortCode;  // 30 after communication errors, 44 after wrong echoes
        case RunOutcome::aborted:
            return abortText(outcome.abortCode, {}).known ? outcome.abortCode : cEXIT_FATAL;
    }
    return cEXIT_FATAL;
}

}  // namespace pelion::cli
