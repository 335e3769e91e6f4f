// Checksums of the logger protocol: CRC-8/MAXIM guards every command and answer frame,
// CRC-16/MODBUS guards the logger's update-ID block.
#pragma once

#include <cstdint>

namespace pelion {

// CRC-16/MODBUS (poly 0x8005 reflected as 0xA001, init 0xFFFF, no final XOR).
std::uint16_t calcCRC16(const std::uint8_t* p, std::uint16_t count);

// CRC-8/MAXIM (Dallas 1-Wire, poly 0x31 reflected as 0x8C, init 0), table driven.
std::uint8_t calcCRC8(const std::uint8_t* p, std::uint16_t count);

}  // namespace pelion
