// The words a front end shows after the verdict of a port that did not open or failed during a
// run: what the operating system said, and what the user can do about it.
#pragma once

#include <cstdint>
#include <string>

namespace pelion {

// `packed` is the value of a cNT_PORT_FAILURE notification.
std::string portFailureText(std::int32_t packed);

}  // namespace pelion
