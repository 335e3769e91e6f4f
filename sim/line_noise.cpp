#include "sim/line_noise.h"

namespace pelion::sim {

void LineNoise::set(std::uint64_t seed, const NoiseRates& toLogger, const NoiseRates& fromLogger) {
    // Two streams of chance, so that what happens to the answers does not depend on how the
    // updater's bytes happened to be split into reads.
    toLogger_ = {toLogger, std::mt19937_64(seed * 2 + 1)};
    fromLogger_ = {fromLogger, std::mt19937_64(seed * 2 + 2)};
}

std::vector<std::uint8_t> LineNoise::toLogger(const std::uint8_t* data, std::size_t n) {
    return apply(toLogger_, data, n);
}

std::vector<std::uint8_t> LineNoise::fromLogger(const std::vector<std::uint8_t>& answer) {
    return apply(fromLogger_, answer.data(), answer.size());
}

std::vector<std::uint8_t> LineNoise::apply(Direction& d, const std::uint8_t* data, std::size_t n) {
    if (!d.rates.any()) {
        return std::vector<std::uint8_t>(data, data + n);
    }
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::vector<std::uint8_t> out;
    out.reserve(n + 4);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t byte = data[i];
        double r = chance(d.random);
        if ((r -= d.rates.drop) < 0) {
            ++disturbed_;
            continue;
        }
        if ((r -= d.rates.flip) < 0) {
            ++disturbed_;
            out.push_back(static_cast<std::uint8_t>(byte ^ (1u << (d.random() % 8))));
            continue;
        }
        if ((r -= d.rates.duplicate) < 0) {
            ++disturbed_;
            out.push_back(byte);
        } else if ((r -= d.rates.insert) < 0) {
            ++disturbed_;
            out.push_back(static_cast<std::uint8_t>(d.random()));
        }
        out.push_back(byte);
    }
    return out;
}

}  // namespace pelion::sim
