#include "sim/flash_model.h"

#include <algorithm>

#include "sim/hex_text.h"

namespace pelion::sim {

void FlashModel::erase() {
    blocks_.clear();
    writeOrder_.clear();
    vectorTableWritten_ = false;
}

void FlashModel::write(std::uint16_t address, const Block& data) {
    blocks_[address] = data;
    writeOrder_.push_back(address);
    if (address == cVECTOR_TABLE_ADDRESS) {
        vectorTableWritten_ = true;
    }
}

void FlashModel::writeTorn(std::uint16_t address, const Block& data, std::size_t bytesWritten) {
    Block& block = blocks_[address];
    block.fill(0xFF);
    std::copy_n(data.begin(), std::min(bytesWritten, data.size()), block.begin());
}

bool FlashModel::equals(const std::vector<std::string>& imageLines) const {
    std::map<std::uint16_t, Block> image;
    for (const auto& line : imageLines) {
        const auto record = decodeRecord(line);
        if (!record) {
            return false;
        }
        if (record->type == 0 && record->data.size() == cDATA_RECORD_SIZE) {
            std::copy(record->data.begin(), record->data.end(), image[record->address].begin());
        }
    }
    return image == blocks_;
}

}  // namespace pelion::sim
