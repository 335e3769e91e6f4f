// The update history: a JSON-lines file in the user's data folder, one record per line, shared
// by every run of every process of both programs. Appends are whole lines under a lock that
// holds across processes and threads, flushed to the disk before they return. A line cut by a
// crash is skipped when read and never spoils the next append. At the rotation size the file
// becomes "<file>.1" (the previous one goes) and a new file starts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/history_record.h"

namespace pelion {

inline constexpr std::uint64_t cHISTORY_ROTATE_BYTES = 4u << 20;

// $XDG_STATE_HOME/pelion-update/history.jsonl (default ~/.local/state) on Linux,
// %LOCALAPPDATA%\Pelion Firmware Update\history.jsonl on Windows; empty when the system names
// no such folder.
std::optional<std::string> defaultHistoryPath();
// The machine's name, for the records; empty when the system does not give it.
std::string hostName();

struct HistoryRead {
    std::vector<HistoryRecord> records;  // oldest first, the rotated file's before the file's
    int skippedLines = 0;                // not whole records
    std::string problem;                 // why the file could not be read; empty when it could
};

class HistoryFile {
public:
    explicit HistoryFile(std::string path, std::uint64_t rotateBytes = cHISTORY_ROTATE_BYTES);

    const std::string& path() const { return path_; }
    std::string previousPath() const { return path_ + ".1"; }

    // Empty on success, else what went wrong, in words for the user.
    std::string append(const HistoryRecord& record) const;
    // A missing file is an empty history.
    HistoryRead read() const;

private:
    std::string path_;
    std::uint64_t rotateBytes_;
};

// Appends `line` and its line end to the file at `path`, creating the file and its folders;
// the platform's part of HistoryFile::append.
std::string appendWholeLine(const std::string& path, const std::string& line,
                            std::uint64_t rotateBytes, const std::string& previousPath);

}  // namespace pelion
