// SHA-256 of the text a run programs, so that a history record names the exact image that went
// into a logger. Small and self-contained: the Windows build has no crypto library at hand.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelion {

class Sha256 {
public:
    Sha256();
    void add(std::string_view bytes);
    // The digest as 64 lower-case hex digits; the object is spent afterwards.
    std::string hexDigest();

private:
    void compressBlock(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t totalBytes_ = 0;
};

std::string sha256Hex(std::string_view bytes);

}  // namespace pelion
