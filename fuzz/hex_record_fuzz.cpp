// Fuzz target: the Intel-HEX record codec and the line checksum, on any text. A line the
// decoder takes must encode back to itself and pass the answer check; the simulated logger's
// decoder, written separately, must agree with it on every input; the checksum and both CRCs
// must read nothing beyond what they are given.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "link/crc.h"
#include "link/hex_record.h"
#include "sim/hex_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelion;
    const std::string text(reinterpret_cast<const char*>(data), size);

    sHexLine = text;
    const bool decoded = lineToRecord();
    if (decoded != sim::decodeRecord(text).has_value()) {
        std::abort();
    }
    if (decoded) {
        const std::uint8_t n = HexRecord[0];
        if (text.size() != 2u * n + 11 || hexLineSum(text.data() + 1, n + 5) != 0) {
            std::abort();
        }
        if (!recordToLine() || sHexLine != text) {
            std::abort();
        }
    }
    // Exactly the pairs that fit: a reader past the end shows as an overflow.
    const std::string copy(text);
    hexLineSum(copy.data(), static_cast<std::int32_t>(copy.size() / 2));
    const auto count = static_cast<std::uint16_t>(size > 0xFFFF ? 0xFFFF : size);
    calcCRC8(data, count);
    calcCRC16(data, count);
    return 0;
}
