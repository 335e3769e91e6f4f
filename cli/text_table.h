// Rows of text cells as a console table: aligned columns for people, tab-separated lines for
// scripts; and a list of texts as one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelion::cli {

using TextRow = std::vector<std::string>;

// Cells may hold outside text (device strings, port names): both forms show each cell as
// safeText does, so no cell can act on the terminal or break its line or column.

// Each column as wide as its widest cell, two blanks between columns, no trailing blanks.
std::string alignedTable(const std::vector<TextRow>& rows);
// One line per row, cells separated by one tab; a tab or line break inside a cell is escaped,
// so every line keeps its column count.
std::string tabSeparated(const std::vector<TextRow>& rows);

// The parts with `separator` between them; empty for no parts.
std::string joined(const std::vector<std::string>& parts, std::string_view separator);

}  // namespace pelion::cli
