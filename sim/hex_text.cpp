#include "sim/hex_text.h"

#include <algorithm>

#include "link/hex_record.h"

namespace pelion::sim {

namespace {

bool hexByte(std::string_view text, std::size_t at, std::uint8_t& value) {
    std::uint8_t hi = 0;
    std::uint8_t lo = 0;
    if (!hexToNibble(text[at], hi) || !hexToNibble(text[at + 1], lo)) {
        return false;
    }
    value = static_cast<std::uint8_t>(hi << 4 | lo);
    return true;
}

}  // namespace

std::optional<Record> decodeRecord(std::string_view line) {
    std::uint8_t count = 0;
    if (line.size() < 11 || line[0] != ':' || !hexByte(line, 1, count) || count > cHEX_MAX_DATA ||
        line.size() != 2u * count + 11) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(count + 5u);
    std::uint8_t sum = 0;
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        if (!hexByte(line, 1 + 2 * k, bytes[k])) {
            return std::nullopt;
        }
        sum = static_cast<std::uint8_t>(sum + bytes[k]);
    }
    if (sum != 0) {
        return std::nullopt;
    }
    Record record;
    record.address = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
    record.type = bytes[3];
    record.data.assign(bytes.begin() + 4, bytes.begin() + 4 + count);
    return record;
}

std::string encodeRecord(const Record& record) {
    HexRecord[0] = static_cast<std::uint8_t>(record.data.size());
    HexRecord[1] = static_cast<std::uint8_t>(record.address >> 8);
    HexRecord[2] = static_cast<std::uint8_t>(record.address);
    HexRecord[3] = record.type;
    std::copy(record.data.begin(), record.data.end(), HexRecord.begin() + 4);
    recordToLine();
    return sHexLine;
}

}  // namespace pelion::sim
