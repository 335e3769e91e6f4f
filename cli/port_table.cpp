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

std::string latency(const ComPortDetails& port) {
    return port.latencyTimerMs ? std::to_string(*port.latencyTimerMs) + " ms" : "-";
}

std::string latencyField(const ComPortDetails& port) {
    return port.latencyTimerMs ? std::to_string(*port.latencyTimerMs) : "";
}

}  // namespace

std::string portTable(const std::vector<ComPortDetails>& ports) {
    std::vector<TextRow> rows{
        {"Port", "Device", "USB ID", "Manufacturer", "Product", "Serial", "Latency"}};
    for (const ComPortDetails& port : ports) {
        rows.push_back({port.name, port.devicePath, usbId(port), orDash(port.manufacturer),
                        orDash(port.product), orDash(port.serial), latency(port)});
    }
    return alignedTable(rows);
}

std::string portTabSeparated(const std::vector<ComPortDetails>& ports) {
    std::vector<TextRow> rows;
    for (const ComPortDetails& port : ports) {
        rows.push_back({port.name, port.devicePath, port.vendorId, port.productId,
                        port.manufacturer, port.product, port.serial, latencyField(port),
                        port.location});
    }
    return tabSeparated(rows);
}

}  // namespace pelion::cli
