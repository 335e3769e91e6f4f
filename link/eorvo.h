// The one error type of a worker run and its abort codes.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace pelion {

// Abort codes: carried by EOrvo inside the worker and by cNT_ABORTED to the front end.
inline constexpr std::int32_t cEX_PORT_NOT_READY = 10;
inline constexpr std::int32_t cEX_PORT_IO = 11;
inline constexpr std::int32_t cEX_CANCELLED = 20;
inline constexpr std::int32_t cEX_RETRY = 30;  // never an abort: the run ends with cNT_RETRY
inline constexpr std::int32_t cEX_NO_UPDATE = 40;
inline constexpr std::int32_t cEX_NOT_READY = 41;
inline constexpr std::int32_t cEX_LAST_LINE = 42;
inline constexpr std::int32_t cEX_CONVERSION = 43;
inline constexpr std::int32_t cEX_PROG_REPEAT = 44;
inline constexpr std::int32_t cEX_UPDATE_FAILED = 45;
inline constexpr std::int32_t cEX_INVALID_ANSWER = 46;
inline constexpr std::int32_t cEX_UPDATE_ID = 47;
inline constexpr std::int32_t cEX_INFO_ONLY = 70;

// The message text stays inside the worker (diagnostics); the front end only sees the code.
class EOrvo : public std::runtime_error {
public:
    explicit EOrvo(std::int32_t code, const std::string& sMsg = {})
        : std::runtime_error(sMsg), iException(code) {}

    std::int32_t iException;
};

}  // namespace pelion
