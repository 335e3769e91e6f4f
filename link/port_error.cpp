#include "link/port_error.h"

namespace pelion {

namespace {

thread_local PortError tLastPortError;

constexpr std::uint32_t cCODE_MASK = 0x00FFFFFF;

}  // namespace

PortError lastPortError() {
    return tLastPortError;
}

void clearPortError() {
    tLastPortError = {};
}

void recordPortError(PortFailure failure, int osCode) {
    tLastPortError = {failure, osCode};
}

std::int32_t packPortError(const PortError& error) {
    const auto code = static_cast<std::uint32_t>(error.osCode) & cCODE_MASK;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(error.failure) << 24 | code);
}

PortError unpackPortError(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    const auto failure = bits >> 24;
    if (failure > static_cast<std::uint32_t>(PortFailure::other)) {
        return {PortFailure::other, static_cast<int>(bits & cCODE_MASK)};
    }
    return {static_cast<PortFailure>(failure), static_cast<int>(bits & cCODE_MASK)};
}

}  // namespace pelion
