#include <charconv>
#include <cstddef>
#include <optional>
#include <sstream>
#include <string>

#include "app/internal_gate.h"
#include "app/xdg_folder.h"
#include "firmware/regular_file.h"

namespace pelion {

namespace {

// Qt's settings file for this program holds a handful of lines.
constexpr std::size_t cMAX_SETTINGS_BYTES = 1u << 20;

// Where Qt keeps the settings of organisation "Tessaly", application "Orvo".
std::optional<std::string> settingsFile() {
    return xdgPath("XDG_CONFIG_HOME", ".config", "Tessaly/Orvo.conf");
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// The value of `key` in the [General] section (or before any section), the last one written.
std::optional<std::string> generalValue(std::istream& ini, const std::string& key) {
    std::optional<std::string> value;
    bool inGeneral = true;
    std::string line;
    while (std::getline(ini, line)) {
        line = trimmed(line);
        if (line.starts_with('[')) {
            inGeneral = line == "[General]";
            continue;
        }
        const auto eq = line.find('=');
        if (inGeneral && eq != std::string::npos && trimmed(line.substr(0, eq)) == key) {
            value = trimmed(line.substr(eq + 1));
        }
    }
    return value;
}

std::optional<long> asInteger(std::string text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    if (text.starts_with('+')) {
        text.erase(0, 1);
    }
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// Why a settings file that is there was not read; nothing for a missing or unreadable one.
std::string problemWith(const std::string& path, FileRead result) {
    switch (result) {
        case FileRead::folder:
            return "the settings file " + path + " is a folder";
        case FileRead::notRegular:
            return "the settings file " + path +
                   " is not a regular file (a named pipe, a device or a socket)";
        case FileRead::tooLarge:
            return "the settings file " + path + " is larger than 1 MiB";
        default:
            return {};
    }
}

// The number under `key` in [General]; empty when the file, the key or a number is missing.
std::optional<long> settingsNumber(const char* key, std::string* problem) {
    const auto path = settingsFile();
    if (!path) {
        return std::nullopt;
    }
    RegularFileText file = readRegularFile(*path, cMAX_SETTINGS_BYTES);
    if (file.result != FileRead::ok) {
        if (problem) {
            *problem = problemWith(*path, file.result);
        }
        return std::nullopt;
    }
    std::istringstream ini(std::move(file.text));
    const auto text = generalValue(ini, key);
    return text ? asInteger(*text) : std::nullopt;
}

}  // namespace

bool IsInternal(std::string* problem) {
    const auto value = settingsNumber("intern", problem);
    return value && *value == cINTERNAL_ACCESS_CODE;
}

bool HistoryWanted() {
    const auto value = settingsNumber("history", nullptr);
    return !value || *value != 0;
}

}  // namespace pelion
