#include "cli/port_table.h"

#include "cli/text_table.h"

namespace pelion::cli {

namespace {

std::string orDash(const std::string& text) {
    return text.empty() ? "-" : text;
}

std::string usbId(const ComPortDetails& port) {
    return port.vendorId.empty() ? "-" : port.vendorId + ":" + port.productId;
}

}  // namespace

std::string portTable(const std::vector<ComPortDetails>& ports) {
    std::vector<TextRow> rows{{"Port", "Device", "USB ID", "Manufacturer", "Product", "Serial"}};
    for (const ComPortDetails& port : ports) {
        rows.push_back({port.name, port.devicePath, usbId(port), orDash(port.manufacturer),
                        orDash(port.product), orDash(port.serial)});
    }
    return alignedTable(rows);
}

std::string portTabSeparated(const std::vector<ComPortDetails>& ports) {
    std::vector<TextRow> rows;
    for (const ComPortDetails& port : ports) {
        rows.push_back({port.name, port.devicePath, port.vendorId, port.productId,
                        port.manufacturer, port.product, port.serial});
    }
    return tabSeparated(rows);
}

}  // namespace pelion::cli
