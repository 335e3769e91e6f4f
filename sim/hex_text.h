// Intel-HEX records as the logger's bootloader reads and writes them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelion::sim {

struct Record {
    std::uint16_t address = 0;
    std::uint8_t type = 0;
    std::vector<std::uint8_t> data;
};

// Strict decoding: ':' first, upper-case hex digits only, at most 64 data bytes, exact length,
// correct checksum. Touches no shared buffer, so any thread may call it.
std::optional<Record> decodeRecord(std::string_view line);

// The record's line in upper-case hex. Uses the calling thread's codec buffers.
std::string encodeRecord(const Record& record);

}  // namespace pelion::sim
