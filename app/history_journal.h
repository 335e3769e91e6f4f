// The update history as one user action on one port writes it: a record before the first data
// line goes out, one with the verdict when the action ends, and the recovery of an update that
// an earlier process left unfinished. The worker calls the RunJournal part on its thread; the
// front end's thread calls the rest.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/history_file.h"
#include "update/run_journal.h"
#include "update/update_context.h"

namespace pelion {

// Asks whether the logger in the bootloader is the one of the interrupted update; true for
// Yes. Called on the worker's thread; may wait for the user.
using RecoveryAnswer = std::function<bool(const std::string& question)>;

struct HistorySettings {
    std::shared_ptr<const HistoryFile> file;  // none: no history, and no recovery
    std::string program;                      // "pelion-update", "pelion-update-gui"
    RecoveryAnswer answer;                    // none: always No
    // Added to the report line of a No, to say how the facts would be used.
    std::string declinedHint;
};

class HistoryJournal : public RunJournal {
public:
    explicit HistoryJournal(HistorySettings settings);

    // Front end's thread. A new user action on `port`; forgets the last one.
    void beginAction(const std::string& port);
    // Each run of the action, before its worker starts.
    void attach(const std::shared_ptr<UpdateContext>& run);
    void noteNotification(std::uint32_t code, std::int32_t value);
    // Writes the verdict's record. `remembered`: the application facts the action read.
    void actionEnded(const std::string& verdict, int exitStatus, int repeats,
                     const ApplicationFacts& remembered);
    // Report lines the journal has for the user since the last call, oldest first.
    std::vector<std::string> takeReport();
    // The journal's own trouble (the history could not be written) since the last call.
    std::vector<std::string> takeWarnings();

    std::optional<ApplicationFacts> interruptedUpdate(const LoggerIdentity& logger) override;
    bool useRecordedFacts(bool changesChoice, int imageWith, int imageWithout) override;
    void programmingStarts(const LoggerIdentity& logger, int image) override;

private:
    void write(const HistoryRecord& record);  // with mutex_ held
    std::optional<HistoryRecord> newestForAdapter(const HistoryRead& history) const;

    const HistorySettings settings_;
    std::mutex mutex_;
    HistoryRecord record_;
    bool programmingWritten_ = false;
    bool warned_ = false;
    std::weak_ptr<UpdateContext> run_;
    std::optional<HistoryRecord> interrupted_;  // the record recovery found for this action
    std::optional<bool> recoveryAnswer_;        // asked once per action
    std::uint16_t lastClass_ = 0;
    std::vector<std::string> report_;
    std::vector<std::string> warnings_;
};

// The adapter of a port as the system describes it; empty for a port without USB details.
AdapterIdentity adapterOf(const std::string& port);

}  // namespace pelion
