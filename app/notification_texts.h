// Every text that a run shows: the report lines of the worker's notifications, the verdicts of
// its outcomes and the confirmation questions of the front ends, letter for letter.
#pragma once

#include <cstdint>
#include <string>

#include "firmware/catalogue.h"

namespace pelion {

inline constexpr const char* cTXT_TITLE = "Pelion Firmware Update";
inline constexpr const char* cTXT_VERSION = "v2022-10-13";
inline constexpr const char* cTXT_RETRY = "Repeat update because communication error!";
inline constexpr const char* cTXT_FATAL = "Fatal Exception has occurred!";

// What an informational notification shows besides its report line.
enum class NotificationShows { nothing, report, reportAndStatus };

struct NotificationText {
    NotificationShows shows;
    std::string text;
};

// The report line (and status) of a notification that neither ends nor repeats a run. `shows`
// is `nothing` for a code without a text and for a value that shows nothing. `chosen` is the
// header of the run's image; without it, that of the window's ChosenImage.
NotificationText notificationText(std::uint32_t code, std::int32_t value,
                                  const TBl3FileHeader& chosen);
NotificationText notificationText(std::uint32_t code, std::int32_t value);

// How an abort code ends the run.
enum class AbortShows {
    verdict,      // report line, status and message window
    messageOnly,  // the message window alone: the report already holds the details
    repeatRun,    // report line and status, then the run starts again at once
};

struct AbortText {
    AbortShows shows;
    std::string text;
    bool known;  // false: a code of no abort, shown as the fatal error
};

// `portField` is the port as the user gave it; the abort of a port that does not open names it.
AbortText abortText(std::int32_t code, const std::string& portField);

std::string startText(const std::string& portField);
std::string progressText(std::int32_t percent);
std::string titleText(int percent);
std::string finishedText(const TBl3FileHeader& header);
std::string repeatsExhaustedText(int repeats);
std::string progRepeatsExhaustedText(int repeats);

// Display forms of an image header.
std::string firmwareVersionText(const TBl3FileHeader& header);  // "6.02"
std::string bootloaderText(const TBl3FileHeader& header);       // "3.0"

// A confirmation question: two lines; only Yes goes on.
struct Question {
    const char* line1;
    const char* line2;
};

inline constexpr Question cQ_CLEARS_MEASUREMENTS{"This update clears all measurements!",
                                                 "Do you really continue ?"};
inline constexpr Question cQ_SAVE_MEASUREMENTS{"Do you save your measurements ?",
                                               "Do you really continue without saving ?"};
inline constexpr Question cQ_CLOSE_DURING_RUN{"The update is not finished!",
                                              "Do you really close the program ?"};

}  // namespace pelion
