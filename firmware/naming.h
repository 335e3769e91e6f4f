// Names of the logger's device codes (class, platform, print) and the place of its update-ID
// block. Every name function gives "?" for a code it does not know; 0xFFFF marks a missing code.
#pragma once

#include <cstdint>
#include <string>

namespace pelion {

inline constexpr std::uint16_t cCODE_NONE = 0xFFFF;

// The print chooses among the names of the two radio variant classes; pass 0xFFFF for none.
std::string classToStr(std::uint16_t cls, std::uint16_t print);
std::string platformToStr(std::uint16_t platform);
std::string printToStr(std::uint16_t print);

// The code itself when it has a name, else 0xFFFF.
std::uint16_t checkClass(std::uint16_t cls);
std::uint16_t checkPlatform(std::uint16_t platform);
std::uint16_t checkPrint(std::uint16_t print);

// Byte address of the update-ID block for a platform (0 for platforms without one).
std::uint32_t getUpidAddress(std::uint16_t platform);

}  // namespace pelion
