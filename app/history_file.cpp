#include "app/history_file.h"

#include <filesystem>
#include <sstream>

#include "firmware/regular_file.h"

namespace pelion {

namespace {

// A file rotates at its size limit, so a sound one is never much larger; the margin takes the
// records appended by runs that all found the file just below the limit.
constexpr std::size_t cREAD_MARGIN_BYTES = 1u << 20;

// Adds the records of one file; a missing file adds none.
std::string readInto(const std::string& path, std::size_t maxBytes, HistoryRead& read) {
    std::error_code error;
    const std::u8string utf8(path.begin(), path.end());
    if (!std::filesystem::exists(std::filesystem::path(utf8), error) && !error) {
        return {};
    }
    RegularFileText file = readRegularFile(path, maxBytes);
    switch (file.result) {
        case FileRead::ok:
            break;
        case FileRead::cannotOpen:
        case FileRead::tooLarge:
            return "the history " + path + " is larger than it can ever grow; move it away";
        case FileRead::folder:
        case FileRead::notRegular:
            return "the history " + path + " is not a regular file";
        case FileRead::readError:
            return "cannot read the history " + path + " (" + file.osText + ")";
    }
    std::istringstream lines(std::move(file.text));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) {
            continue;
        }
        if (auto record = parseHistoryLine(line)) {
            read.records.push_back(std::move(*record));
        } else {
            ++read.skippedLines;
        }
    }
    return {};
}

}  // namespace

HistoryFile::HistoryFile(std::string path, std::uint64_t rotateBytes)
    : path_(std::move(path)), rotateBytes_(rotateBytes) {}

std::string HistoryFile::append(const HistoryRecord& record) const {
    return appendWholeLine(path_, historyLine(record), rotateBytes_, previousPath());
}

HistoryRead HistoryFile::read() const {
    HistoryRead read;
    const std::size_t maxBytes = static_cast<std::size_t>(rotateBytes_) + cREAD_MARGIN_BYTES;
    for (const std::string& path : {previousPath(), path_}) {
        if (std::string problem = readInto(path, maxBytes, read); !problem.empty()) {
            read.problem = problem;
        }
    }
    return read;
}

}  // namespace pelion
