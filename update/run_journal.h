// What a run tells the record keeping of its front end, from the worker's thread, at the points
// where the worker must wait for it: before the first data line goes to the logger, and when a
// logger found in its bootloader may be the one an interrupted update left there.
#pragma once

#include <optional>

#include "update/application_facts.h"
#include "update/image_choice.h"

namespace pelion {

class RunJournal {
public:
    virtual ~RunJournal() = default;

    // The logger answered from its bootloader and this user action knows nothing of its
    // application: the facts an interrupted earlier update on this port recorded for a logger
    // that reads the same now, if there was one.
    virtual std::optional<ApplicationFacts> interruptedUpdate(const LoggerIdentity& logger) = 0;
    // Whether the run uses those facts for its image choice. `changesChoice`: with them another
    // image fits than without (`imageWith`, `imageWithout`, -1 for none). May wait for the user.
    virtual bool useRecordedFacts(bool changesChoice, int imageWith, int imageWithout) = 0;
    // The image is chosen and nothing is programmed yet; returns when that is on record.
    virtual void programmingStarts(const LoggerIdentity& logger, int image) = 0;
};

}  // namespace pelion
