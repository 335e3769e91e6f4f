// The logger's program flash as the bootloader fills it: 64-byte data records by address.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pelion::sim {

inline constexpr std::uint16_t cVECTOR_TABLE_ADDRESS = 0x03DF;
inline constexpr std::size_t cDATA_RECORD_SIZE = 0x40;

class FlashModel {
public:
    using Block = std::array<std::uint8_t, cDATA_RECORD_SIZE>;

    void erase();
    void write(std::uint16_t address, const Block& data);
    // Power lost in the middle of writing a record: its first `bytesWritten` bytes reached the
    // flash, the rest of the block stays erased (0xFF). A torn record never counts as written,
    // not even the vector table.
    void writeTorn(std::uint16_t address, const Block& data, std::size_t bytesWritten);

    bool vectorTableWritten() const { return vectorTableWritten_; }
    const std::vector<std::uint16_t>& writeOrder() const { return writeOrder_; }
    // True when the flash holds exactly the 64-byte data records of the image lines (a later
    // record at the same address replacing an earlier one) and nothing else. Lines of other
    // records are ignored; a line that is no valid record can never have been programmed and
    // makes the answer false.
    bool equals(const std::vector<std::string>& imageLines) const;

private:
    std::map<std::uint16_t, Block> blocks_;
    std::vector<std::uint16_t> writeOrder_;
    bool vectorTableWritten_ = false;
};

}  // namespace pelion::sim
