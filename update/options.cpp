#include "update/options.h"

namespace pelion {

bool bCheckClass = true;
bool bCheckLogger = true;
bool bCheckPlatform = true;
bool bReadInfoOnly = false;
const bool bReadInfoAvailable = true;

UpdateOptions currentUpdateOptions() {
    return {bCheckClass, bCheckLogger, bCheckPlatform, bReadInfoOnly};
}

}  // namespace pelion
