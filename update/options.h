// The option flags that steer the update procedure. The window's settings live in the globals
// below: the front end settles them at start-up (bReadInfoOnly at the start of every run) and
// copies them into the UpdateOptions each run is handed; workers read only their own copy.
#pragma once

namespace pelion {

extern bool bCheckClass;     // image choice compares the device class
extern bool bCheckLogger;    // identification refuses loggers of other classes
extern bool bCheckPlatform;  // image choice compares the platform
extern bool bReadInfoOnly;   // stop after the image choice
// This worker supports a run that stops after the image choice.
extern const bool bReadInfoAvailable;

struct UpdateOptions {
    bool bCheckClass = true;
    bool bCheckLogger = true;
    bool bCheckPlatform = true;
    bool bReadInfoOnly = false;
};

// The settings as they stand now.
UpdateOptions currentUpdateOptions();

}  // namespace pelion
