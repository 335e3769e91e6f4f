#include "app/history_record.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
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

std::string utcTimestamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    {
        // Records are written from workers and from the front end's thread alike.
        static std::mutex gmtimeMutex;
        const std::lock_guard lock(gmtimeMutex);
        utc = *std::gmtime(&seconds);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis));
    return text;
}

}  // namespace pelion
