#include "app/options.h"

#include <cstddef>

#include "update/options.h"

namespace pelion {

std::int32_t nInternalLevel = 0;
bool bClearsMeasurements = false;

namespace {

constexpr std::size_t cOPTION_VALUE_MAX = 1000;

char upperAZ(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool startsWithName(const std::string& element, std::string_view name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (upperAZ(element[i]) != upperAZ(name[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string getOption(std::span<const std::string> elements, std::string_view name,
                      std::string_view def) {
    for (const std::string& element : elements) {
        if (element.size() > name.size() && startsWithName(element, name)) {
            return element.substr(name.size(), cOPTION_VALUE_MAX);
        }
    }
    return std::string(def);
}

void applyCommandLineOptions(std::span<const std::string> elements, bool internal) {
    const auto is = [&](std::string_view name, std::string_view value) {
        return getOption(elements, name, "") == value;
    };
    if (internal) {
        if (is("cc:", "-")) {
            bCheckClass = false;
        }
        if (is("cf:", "-")) {
            bCheckLogger = false;
        }
        if (is("cp:", "-")) {
            bCheckPlatform = false;
        }
    }
    if (is("mf:", "+")) {
        bClearsMeasurements = true;
    } else if (is("mf:", "-")) {
        bClearsMeasurements = false;
    }
    if (internal) {
        nInternalLevel = getOption(elements, "f:", "-") == "+" ? 2 : 1;
    }
}

const Question* updateQuestion() {
    if (bClearsMeasurements) {
        return &cQ_CLEARS_MEASUREMENTS;
    }
    if (nInternalLevel >= 1) {
        return nullptr;
    }
    return &cQ_SAVE_MEASUREMENTS;
}

}  // namespace pelion
