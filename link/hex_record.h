// Intel-HEX record codec between one text line (sHexLine) and its bytes (HexRecord).
//
// Both buffers belong to the link thread that uses them: each thread has its own pair, so two
// workers (in tests, or a late worker beside a new one) can never corrupt each other's record.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pelion {

// Record layout: [0] byte count n, [1] address high, [2] address low, [3] type,
// [4 .. 3+n] data, [4+n] checksum. Large enough for 255 data bytes.
using THexRecord = std::array<std::uint8_t, 260>;

inline constexpr std::uint8_t cHEX_MAX_DATA = 0x40;  // both conversions accept at most 64 bytes

extern thread_local THexRecord HexRecord;
extern thread_local std::string sHexLine;

// '0'..'9' and 'A'..'F' only; lower case is not a hex digit here. b is untouched on False.
bool hexToNibble(char c, std::uint8_t& b);
// Upper-case digit of the low nibble of b.
char nibbleToHex(std::uint8_t b);
// (-sum) & 0xFF over count hex pairs at p. A pair that is not two hex digits makes the result
// non-zero (the check fails), so a garbled answer never passes as a good one.
std::uint8_t hexLineSum(const char* p, std::int32_t count);

// HexRecord -> sHexLine (":" and 2n+10 upper-case digits). False, and sHexLine ":", when n > 64.
bool recordToLine();
// sHexLine -> HexRecord, strictly: ':' first, n <= 64, length exactly 2n+11, upper-case hex
// digits only, record checksum right. After False the record's contents are undefined.
bool lineToRecord();

std::uint16_t bytesToWord(std::uint8_t hi, std::uint8_t lo);
std::uint32_t bytesToLongWord(std::uint8_t b3, std::uint8_t b2, std::uint8_t b1, std::uint8_t b0);

}  // namespace pelion
