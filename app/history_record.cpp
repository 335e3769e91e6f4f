#include "app/history_record.h"

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace pelion {

namespace {

using Json = nlohmann::ordered_json;

template <typename T>
Json optional(const std::optional<T>& value) {
    return value ? Json(*value) : Json(nullptr);
}

template <typename T>
std::optional<T> optionalOf(const Json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return std::nullopt;
    }
    return it->get<T>();
}

Json loggerJson(const RecordedLogger& l) {
    return {{"class", optional(l.cls)},
            {"version", optional(l.version)},
            {"app_version", optional(l.appVersion)},
            {"serial_number", optional(l.serialNumber)},
            {"bootloader_class", optional(l.blClass)},
            {"bootloader_version", optional(l.blVersion)},
            {"platform", optional(l.platform)},
            {"print", optional(l.print)},
            {"update_class", optional(l.updateClass)},
            {"update_info", optional(l.updateInfo)}};
}

RecordedLogger loggerOf(const Json& j) {
    return {optionalOf<std::uint16_t>(j, "class"),
            optionalOf<std::uint16_t>(j, "version"),
            optionalOf<std::uint16_t>(j, "app_version"),
            optionalOf<std::uint32_t>(j, "serial_number"),
            optionalOf<std::uint16_t>(j, "bootloader_class"),
            optionalOf<std::uint16_t>(j, "bootloader_version"),
            optionalOf<std::uint16_t>(j, "platform"),
            optionalOf<std::uint16_t>(j, "print"),
            optionalOf<std::uint16_t>(j, "update_class"),
            optionalOf<std::uint16_t>(j, "update_info")};
}

}  // namespace

std::string historyLine(const HistoryRecord& r) {
    const Json line{
        {"id", r.id},
        {"state", r.state},
        {"started", r.started},
        {"time", r.time},
        {"program", r.program},
        {"program_version", r.programVersion},
        {"host", r.host},
        {"port", r.port},
        {"adapter",
         {{"usb_id", r.adapter.usbId},
          {"serial", r.adapter.serial},
          {"location", r.adapter.location}}},
        {"logger", loggerJson(r.logger)},
        {"facts", {{"source", r.factsSource}, {"from", r.factsFrom}}},
        {"image",
         {{"index", r.image.index}, {"version", r.image.version}, {"sha256", r.image.sha256}}},
        {"lines_sent", r.linesSent},
        {"repeats", r.repeats},
        {"verdict", r.verdict},
        {"exit", optional(r.exitStatus)},
    };
    // A record must stay one line whatever a port name or a device string holds.
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<HistoryRecord> parseHistoryLine(const std::string& text) {
    const Json j = Json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        return std::nullopt;
    }
    try {
        HistoryRecord r;
        r.id = j.at("id").get<std::string>();
        r.state = j.at("state").get<std::string>();
        r.started = j.value("started", "");
        r.time = j.value("time", "");
        r.program = j.value("program", "");
        r.programVersion = j.value("program_version", "");
        r.host = j.value("host", "");
        r.port = j.value("port", "");
        const Json adapter = j.value("adapter", Json::object());
        r.adapter = {adapter.value("usb_id", ""), adapter.value("serial", ""),
                     adapter.value("location", "")};
        r.logger = loggerOf(j.value("logger", Json::object()));
        const Json facts = j.value("facts", Json::object());
        r.factsSource = facts.value("source", cFACTS_NONE);
        r.factsFrom = facts.value("from", "");
        const Json image = j.value("image", Json::object());
        r.image = {image.value("index", -1), image.value("version", ""), image.value("sha256", "")};
        r.linesSent = j.value("lines_sent", 0);
        r.repeats = j.value("repeats", 0);
        r.verdict = j.value("verdict", "");
        r.exitStatus = optionalOf<int>(j, "exit");
        return r;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;  // a line of the right shape with a field of the wrong type
    }
}

// Worked out from the clock alone: gmtime's shared buffer would race with the front ends'
// local report times.
std::string utcTimestamp() {
    using namespace std::chrono;
    const auto now = floor<milliseconds>(system_clock::now());
    const auto today = floor<days>(now);
    const year_month_day date{today};
    const hh_mm_ss time{now - today};
    char text[64];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
        static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
    return text;
}

}  // namespace pelion
