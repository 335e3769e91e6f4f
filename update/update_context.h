// What one update run reads, handed to it when it starts: its options, the firmware file the
// user loaded (image 0) if any, the application facts of its user action, and the image it
// chooses. The front end fills it from the window's settings; the worker reads only this.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "firmware/catalogue.h"
#include "link/run_context.h"
#include "update/application_facts.h"
#include "update/options.h"
#include "update/run_journal.h"

namespace pelion {

// A loaded firmware file, as one run sees it: unchanged while the run lasts.
struct FirmwareFile {
    TBl3FileHeader header;
    std::vector<std::string> lines;
};

// The loaded file as it stands now (FirmwareFileHeader, FirmwareLines).
std::shared_ptr<const FirmwareFile> currentFirmwareFile();

class UpdateContext : public RunContext {
public:
    // `chosenImage` is 0 when the run programs `file`, else -1 (the embedded images).
    UpdateContext(NotificationTargetPtr target, const UpdateOptions& options, int chosenImage,
                  std::shared_ptr<const FirmwareFile> file,
                  std::shared_ptr<ApplicationFactsMemory> facts);

    const UpdateOptions options;
    // The image of this run: written by its worker, read by its front end.
    std::atomic<int> ChosenImage;
    const std::shared_ptr<ApplicationFactsMemory> facts;
    // Set by the front end before the worker starts; none keeps no record.
    std::shared_ptr<RunJournal> journal;
    // Data lines the logger has taken in this run.
    std::atomic<int> linesSent{0};

    // The catalogue as this run sees it: image 0 is its own file.
    TBl3FileHeader firmwareHeader(int image) const;
    int chosenLastLine() const;
    std::string chosenLine(int line) const;

private:
    const std::shared_ptr<const FirmwareFile> file_;
};

}  // namespace pelion
