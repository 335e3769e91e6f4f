#include "cli/json_events.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "cli/text_table.h"

namespace pelion::cli {

namespace {

struct CodeName {
    std::uint32_t code;
    const char* name;
};

constexpr std::array cCODE_NAMES{
    CodeName{cNT_FINISHED, "cNT_FINISHED"},
    CodeName{cNT_PROGRESS, "cNT_PROGRESS"},
    CodeName{cNT_ABORTED, "cNT_ABORTED"},
    CodeName{cNT_PROG_ERROR_LINE, "cNT_PROG_ERROR_LINE"},
    CodeName{cNT_CONV_ERROR_LINE, "cNT_CONV_ERROR_LINE"},
    CodeName{cNT_RETRY, "cNT_RETRY"},
    CodeName{cNT_CLASS, "cNT_CLASS"},
    CodeName{cNT_VERSION, "cNT_VERSION"},
    CodeName{cNT_PLATFORM, "cNT_PLATFORM"},
    CodeName{cNT_PRINT, "cNT_PRINT"},
    CodeName{cNT_INFO, "cNT_INFO"},
    CodeName{cNT_UPDATE_CLASS, "cNT_UPDATE_CLASS"},
    CodeName{cNT_UPDATE_START, "cNT_UPDATE_START"},
    CodeName{cNT_CHECK_IMAGE, "cNT_CHECK_IMAGE"},
    CodeName{cNT_UPDATE_INFO, "cNT_UPDATE_INFO"},
    CodeName{cNT_VECTOR_TABLE, "cNT_VECTOR_TABLE"},
    CodeName{cNT_PORT_FAILURE, "cNT_PORT_FAILURE"},
};

// UTC with milliseconds, as ISO 8601: "2026-12-10T16:12:03.417Z".
std::string utcNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    const std::tm* utc = std::gmtime(&seconds);  // the main thread is its only user
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", utc);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms.count()));
    return text;
}

}  // namespace

const char* notificationName(std::uint32_t code) {
    for (const CodeName& entry : cCODE_NAMES) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return "?";
}

std::string notificationJson(const std::string& port, const Notification& n,
                             const std::vector<std::string>& reported) {
    nlohmann::ordered_json event{{"time", utcNow()},
                                 {"port", port},
                                 {"event", "notification"},
                                 {"code", n.code},
                                 {"name", notificationName(n.code)},
                                 {"value", n.value}};
    if (!reported.empty()) {
        event["report"] = joined(reported, "\n");
    }
    return event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string reportJson(const std::string& port, const std::vector<std::string>& reported) {
    const nlohmann::ordered_json event{{"time", utcNow()},
                                       {"port", port},
                                       {"event", "report"},
                                       {"report", joined(reported, "\n")}};
    return event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string endJson(const RunSummary& summary) {
    const nlohmann::ordered_json event{
        {"time", utcNow()},          {"port", summary.port},   {"event", "end"},
        {"logger", summary.logger},  {"image", summary.image}, {"verdict", summary.verdict},
        {"exit", summary.exitStatus}};
    return event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace pelion::cli
