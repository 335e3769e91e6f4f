// The run's events as data: one JSON object per line, for wrappers and production-line
// software that would otherwise scrape the report text.
#pragma once

#include <string>
#include <vector>

#include "link/notify.h"

namespace pelion::cli {

// The name of a notification code ("cNT_CLASS"); "?" for a code this program does not post.
const char* notificationName(std::uint32_t code);

// {"time":..., "port":..., "event":"notification", "code":20, "name":"cNT_CLASS",
//  "value":26113, "report":"Class 26113 [PelionB]"}; "report" only when the notification
// showed report lines (joined by line breaks when several).
std::string notificationJson(const std::string& port, const Notification& n,
                             const std::vector<std::string>& reported);

// {"time":..., "port":..., "event":"report", "report":"Start at serial port ..."}: report
// lines that no notification brought (the start of each run).
std::string reportJson(const std::string& port, const std::vector<std::string>& reported);

struct RunSummary {
    std::string port;
    std::string logger;
    std::string image;
    std::string verdict;
    int exitStatus;
};

// {"time":..., "port":..., "event":"end", "logger":..., "image":..., "verdict":...,
//  "exit":0}
std::string endJson(const RunSummary& summary);

}  // namespace pelion::cli
