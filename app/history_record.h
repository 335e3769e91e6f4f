// One line of the update history: what a run knew when it wrote it. A run writes a record with
// state "programming" before its first data line goes to the logger and one with state "ended"
// and the verdict when it ends; both carry the same id.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pelion {

inline constexpr const char* cSTATE_PROGRAMMING = "programming";
inline constexpr const char* cSTATE_ENDED = "ended";

// Where the logger's serial number and application version used for the image choice came from.
inline constexpr const char* cFACTS_LOGGER = "logger";    // read from its application
inline constexpr const char* cFACTS_HISTORY = "history";  // recorded by an interrupted update
inline constexpr const char* cFACTS_NONE = "none";        // not known: found in its bootloader

// The USB serial adapter the port belongs to; empty fields where the system does not say.
struct AdapterIdentity {
    std::string usbId;  // "0403:6001"
    std::string serial;
    std::string location;

    bool operator==(const AdapterIdentity&) const = default;
};

// What the run read from the logger, each value as the logger gave it; empty where unread.
struct RecordedLogger {
    std::optional<std::uint16_t> cls;      // the first identity answer
    std::optional<std::uint16_t> version;  // and its version word
    std::optional<std::uint16_t> appVersion;
    std::optional<std::uint32_t> serialNumber;
    std::optional<std::uint16_t> blClass;
    std::optional<std::uint16_t> blVersion;
    std::optional<std::uint16_t> platform;
    std::optional<std::uint16_t> print;
    std::optional<std::uint16_t> updateClass;  // the update-ID block
    std::optional<std::uint16_t> updateInfo;
};

struct RecordedImage {
    int index = -1;  // 0: a firmware file; -1: none chosen
    std::string version;
    std::string sha256;  // of the lines programmed, each with its line end
};

struct HistoryRecord {
    std::string id;
    std::string state;
    std::string started;  // UTC, ISO 8601, milliseconds
    std::string time;     // when this record was written
    std::string program;
    std::string programVersion;
    std::string host;
    std::string port;
    AdapterIdentity adapter;
    RecordedLogger logger;
    std::string factsSource = cFACTS_NONE;
    std::string factsFrom;  // for facts from the history: the id of the record they came from
    RecordedImage image;
    int linesSent = 0;
    int repeats = 0;
    std::string verdict;
    std::optional<int> exitStatus;
};

std::string historyLine(const HistoryRecord& record);
// Empty for a line that is not a whole record (cut by a crash, or not ours).
std::optional<HistoryRecord> parseHistoryLine(const std::string& line);

// The time now, UTC, "2026-12-11T09:14:03.123Z".
std::string utcTimestamp();

}  // namespace pelion
