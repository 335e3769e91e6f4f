#include "cli/text_table.h"

#include <algorithm>

#include "app/safe_text.h"

namespace pelion::cli {

namespace {

std::string trimmedRight(std::string line) {
    line.erase(line.find_last_not_of(' ') + 1);
    return line;
}

}  // namespace

std::string alignedTable(const std::vector<TextRow>& rows) {
    std::vector<TextRow> shown;
    for (const TextRow& row : rows) {
        shown.emplace_back();
        for (const std::string& cell : row) {
            shown.back().push_back(safeText(cell));
        }
    }
    std::vector<std::size_t> width;
    for (const TextRow& row : shown) {
        width.resize(std::max(width.size(), row.size()));
        for (std::size_t c = 0; c < row.size(); ++c) {
            width[c] = std::max(width[c], row[c].size());
        }
    }
    std::string table;
    for (const TextRow& row : shown) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c] + std::string(width[c] - row[c].size() + 2, ' ');
        }
        table += trimmedRight(std::move(line)) + "\n";
    }
    return table;
}

std::string tabSeparated(const std::vector<TextRow>& rows) {
    std::string text;
    for (const TextRow& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            text.append(c > 0 ? "\t" : "").append(safeText(row[c]));
        }
        text += "\n";
    }
    return text;
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        text.append(i > 0 ? separator : std::string_view{}).append(parts[i]);
    }
    return text;
}

}  // namespace pelion::cli
