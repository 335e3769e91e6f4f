// The firmware overview as text: one aligned row per image header.
#pragma once

#include <string>
#include <vector>

#include "firmware/catalogue.h"

namespace pelion::cli {

// Columns "Firmware", "Version", "Platform", "Print", "Date", "BL"; one line per header.
std::string firmwareTable(const std::vector<TBl3FileHeader>& headers);

// The embedded images, newest first.
std::vector<TBl3FileHeader> embeddedHeaders();

}  // namespace pelion::cli
