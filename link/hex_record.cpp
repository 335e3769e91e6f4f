#include "link/hex_record.h"

namespace pelion {

thread_local THexRecord HexRecord{};
thread_local std::string sHexLine;

bool hexToNibble(char c, std::uint8_t& b) {
    if (c >= '0' && c <= '9') {
        b = static_cast<std::uint8_t>(c - '0');
        return true;
    }
    if (c >= 'A' && c <= 'F') {
        b = static_cast<std::uint8_t>(c - 'A' + 10);
        return true;
    }
    return false;
}

char nibbleToHex(std::uint8_t b) {
    const std::uint8_t v = b & 0x0F;
    return static_cast<char>(v < 10 ? '0' + v : 'A' + v - 10);
}

namespace {

bool hexPair(const char* p, std::uint8_t& value) {
    std::uint8_t hi = 0;
    std::uint8_t lo = 0;
    if (!hexToNibble(p[0], hi) || !hexToNibble(p[1], lo)) {
        return false;
    }
    value = static_cast<std::uint8_t>(hi << 4 | lo);
    return true;
}

void appendHexByte(std::string& line, std::uint8_t b) {
    line += nibbleToHex(b >> 4);
    line += nibbleToHex(b);
}

}  // namespace

std::uint8_t hexLineSum(const char* p, std::int32_t count) {
    std::uint8_t sum = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        std::uint8_t value = 0;
        if (!hexPair(p + 2 * i, value)) {
            return 0xFF;  // never 0: a pair that is not hex fails the check
        }
        sum = static_cast<std::uint8_t>(sum + value);
    }
    return static_cast<std::uint8_t>(-sum);
}

bool recordToLine() {
    sHexLine.assign(1, ':');  // not = ":": GCC 12 warns falsely (-Wrestrict) on that
    const std::uint8_t n = HexRecord[0];
    if (n > cHEX_MAX_DATA) {
        return false;
    }
    std::uint8_t sum = 0;
    for (int k = 0; k < n + 4; ++k) {
        appendHexByte(sHexLine, HexRecord[k]);
        sum = static_cast<std::uint8_t>(sum + HexRecord[k]);
    }
    appendHexByte(sHexLine, static_cast<std::uint8_t>(-sum));
    return true;
}

bool lineToRecord() {
    const std::string& line = sHexLine;
    if (line.size() < 11 || line[0] != ':') {
        return false;
    }
    if (!hexPair(&line[1], HexRecord[0])) {
        return false;
    }
    const std::uint8_t n = HexRecord[0];
    if (n > cHEX_MAX_DATA || line.size() != 2u * n + 11) {
        return false;
    }
    std::uint8_t sum = n;
    for (int k = 1; k <= n + 4; ++k) {
        if (!hexPair(&line[2 * k + 1], HexRecord[k])) {
            return false;
        }
        sum = static_cast<std::uint8_t>(sum + HexRecord[k]);
    }
    return sum == 0;
}

std::uint16_t bytesToWord(std::uint8_t hi, std::uint8_t lo) {
    return static_cast<std::uint16_t>(hi << 8 | lo);
}

std::uint32_t bytesToLongWord(std::uint8_t b3, std::uint8_t b2, std::uint8_t b1, std::uint8_t b0) {
    return std::uint32_t{b3} << 24 | std::uint32_t{b2} << 16 | std::uint32_t{b1} << 8 | b0;
}

}  // namespace pelion
