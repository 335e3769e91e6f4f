// Seeded noise on the serial line between the updater and the logger: bytes dropped, flipped
// in one bit, duplicated, or preceded by an inserted stray byte, each with its own chance per
// byte and per direction. The same seed gives the same decisions for the same byte streams.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace pelion::sim {

// Chances per byte, each from 0 to 1; together at most 1.
struct NoiseRates {
    double drop = 0;
    double flip = 0;
    double duplicate = 0;
    double insert = 0;

    bool any() const { return drop + flip + duplicate + insert > 0; }
};

class LineNoise {
public:
    void set(std::uint64_t seed, const NoiseRates& toLogger, const NoiseRates& fromLogger);
    void off() { set(0, {}, {}); }

    std::vector<std::uint8_t> toLogger(const std::uint8_t* data, std::size_t n);
    std::vector<std::uint8_t> fromLogger(const std::vector<std::uint8_t>& answer);
    // Bytes changed so far in both directions (a drop, flip, duplicate or insert each count 1).
    std::uint64_t bytesDisturbed() const { return disturbed_; }

private:
    struct Direction {
        NoiseRates rates;
        std::mt19937_64 random;
    };
    std::vector<std::uint8_t> apply(Direction& d, const std::uint8_t* data, std::size_t n);

    Direction toLogger_;
    Direction fromLogger_;
    std::uint64_t disturbed_ = 0;
};

}  // namespace pelion::sim
