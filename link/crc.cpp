#include "link/crc.h"

#include <array>

namespace pelion {

namespace {

constexpr std::array<std::uint8_t, 256> makeCrc8Table() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint8_t crc = static_cast<std::uint8_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<std::uint8_t>((crc >> 1) ^ 0x8C)
                            : static_cast<std::uint8_t>(crc >> 1);
        }
        table[i] = crc;
    }
    return table;
}

// The standard Dallas/Maxim table; it begins 00 5E BC E2 61 3F DD 83.
constexpr auto cCRC8_TABLE = makeCrc8Table();
static_assert(cCRC8_TABLE[1] == 0x5E && cCRC8_TABLE[2] == 0xBC && cCRC8_TABLE[7] == 0x83);

}  // namespace

std::uint16_t calcCRC16(const std::uint8_t* p, std::uint16_t count) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint16_t i = 0; i < count; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

std::uint8_t calcCRC8(const std::uint8_t* p, std::uint16_t count) {
    std::uint8_t crc = 0;
    for (std::uint16_t i = 0; i < count; ++i) {
        crc = cCRC8_TABLE[crc ^ p[i]];
    }
    return crc;
}

}  // namespace pelion
