// The option flags that steer the update procedure. The front end settles them at start-up
// (bReadInfoOnly at the start of every run) while no worker runs; workers only read them.
#pragma once

namespace pelion {

extern bool bCheckClass;     // image choice compares the device class
extern bool bCheckLogger;    // identification refuses loggers of other classes
extern bool bCheckPlatform;  // image choice compares the platform
extern bool bReadInfoOnly;   // stop after the image choice
// This worker supports a run that stops after the image choice.
extern const bool bReadInfoAvailable;

}  // namespace pelion
