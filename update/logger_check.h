// A look at the logger that changes nothing in it, for a check before an update: the identity
// query and, for a logger in its application, the serial-number query. A logger found in its
// bootloader also answers the platform and update-ID queries, which read only; with them the
// image an update would choose is known. No jump and no programming command is ever sent.
#pragma once

#include <cstdint>
#include <optional>

#include "update/bootloader_commands.h"
#include "update/image_choice.h"
#include "update/options.h"

namespace pelion {

// What the look found; filled by the worker while it runs, read by its front end after the
// worker's last notification.
struct LoggerFindings {
    std::optional<IdentityAnswer> identity;     // none: the logger did not answer
    std::optional<std::uint32_t> serialNumber;  // read from an application only
    std::optional<LoggerIdentity> bootloader;   // read from a bootloader only
    int image = -1;                             // the embedded image that fits, -1 for none
};

class CheckContext : public RunContext {
public:
    CheckContext(NotificationTargetPtr target, const UpdateOptions& options)
        : RunContext(std::move(target)), options(options) {}

    const UpdateOptions options;
    LoggerFindings findings;
};

class TLoggerCheck : public TBootloaderCommands {
public:
    // `run` must be a CheckContext.
    TLoggerCheck(RunContextPtr run, std::string sPort);

protected:
    void runCommand() override;

private:
    void readBootloader(std::uint16_t blClass);

    CheckContext& FCheck;
};

}  // namespace pelion
