#include "cli/firmware_table.h"

#include <algorithm>
#include <array>

#include "app/notification_texts.h"
#include "app/safe_text.h"
#include "firmware/naming.h"

namespace pelion::cli {

namespace {

constexpr std::size_t cCOLUMNS = 6;
using Row = std::array<std::string, cCOLUMNS>;

Row headerRow(const TBl3FileHeader& h) {
    return {classToStr(h.orvo_class, h.orvo_print),
            firmwareVersionText(h),
            platformToStr(h.orvo_platform),
            printToStr(h.orvo_print),
            safeText(h.orvo_date),  // the file's own text
            bootloaderText(h)};
}

}  // namespace

std::string firmwareTable(const std::vector<TBl3FileHeader>& headers) {
    std::vector<Row> rows{{"Firmware", "Version", "Platform", "Print", "Date", "BL"}};
    for (const TBl3FileHeader& h : headers) {
        rows.push_back(headerRow(h));
    }
    std::array<std::size_t, cCOLUMNS> width{};
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < cCOLUMNS; ++c) {
            width[c] = std::max(width[c], row[c].size());
        }
    }
    std::string table;
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < cCOLUMNS; ++c) {
            line += row[c];
            if (c + 1 < cCOLUMNS) {
                line += std::string(width[c] - row[c].size() + 2, ' ');
            }
        }
        table += line + "\n";
    }
    return table;
}

std::vector<TBl3FileHeader> embeddedHeaders() {
    std::vector<TBl3FileHeader> headers;
    for (int image = getFirmwareCount(); image >= 1; --image) {
        headers.push_back(getFirmwareHeader(image));
    }
    return headers;
}

}  // namespace pelion::cli
