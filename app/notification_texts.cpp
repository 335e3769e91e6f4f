#include "app/notification_texts.h"

#include <array>
#include <cstdarg>
#include <cstdio>

#include "firmware/naming.h"
#include "link/eorvo.h"
#include "link/notify.h"

namespace pelion {

namespace {

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char* pattern, ...) {
    char buffer[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, args);
    va_end(args);
    return buffer;
}

// Logger values arrive zero-extended; names are looked up by their low 16 bits.
std::uint16_t word(std::int32_t value) {
    return static_cast<std::uint16_t>(value);
}

// Class name, version, print name and bootloader of an image, as the image lines show them.
std::string imageText(const char* verb, const TBl3FileHeader& h) {
    return format("%s %s V%d.%.2d, %s, BL%d.%d", verb,
                  classToStr(h.orvo_class, h.orvo_print).c_str(), h.orvo_verH, h.orvo_verL,
                  printToStr(h.orvo_print).c_str(), h.orvo_bl, h.orvo_bl_ver);
}

NotificationText report(std::string text) {
    return {NotificationShows::report, std::move(text)};
}

NotificationText reportAndStatus(std::string text) {
    return {NotificationShows::reportAndStatus, std::move(text)};
}

struct NotificationEntry {
    std::uint32_t code;
    NotificationText (*show)(std::int32_t value);
};

constexpr std::array cNOTIFICATIONS{
    NotificationEntry{cNT_PROG_ERROR_LINE,
                      [](std::int32_t v) {
                          return reportAndStatus(
                              format("Aborted because programming error at line %d !", v));
                      }},
    NotificationEntry{cNT_CONV_ERROR_LINE,
                      [](std::int32_t v) {
                          return report(
                              format("Aborted because conversion error at line  %d !", v));
                      }},
    NotificationEntry{cNT_CLASS,
                      [](std::int32_t v) {
                          return report(
                              format("Class %d [%s]", v, classToStr(word(v), cCODE_NONE).c_str()));
                      }},
    NotificationEntry{
        cNT_VERSION,
        [](std::int32_t v) { return report(format("Version %d.%d", (v >> 8) & 0xFF, v & 0xFF)); }},
    NotificationEntry{cNT_PLATFORM,
                      [](std::int32_t v) {
                          return report(
                              format("Platform %d [%s]", v, platformToStr(word(v)).c_str()));
                      }},
    NotificationEntry{cNT_PRINT,
                      [](std::int32_t v) {
                          return report(format("Print %d [%s]", v, printToStr(word(v)).c_str()));
                      }},
    NotificationEntry{cNT_INFO, [](std::int32_t v) { return report(format("Info %d", v)); }},
    NotificationEntry{cNT_UPDATE_CLASS,
                      [](std::int32_t v) {
                          return report(format("Update class %d [%s]", v,
                                               classToStr(word(v), cCODE_NONE).c_str()));
                      }},
    NotificationEntry{
        cNT_CHECK_IMAGE,
        [](std::int32_t v) { return report(imageText("Check", getFirmwareHeader(v))); }},
    NotificationEntry{cNT_UPDATE_INFO,
                      [](std::int32_t v) {
                          return report(format("Update Info %.4X", static_cast<unsigned>(v)));
                      }},
    NotificationEntry{cNT_VECTOR_TABLE,
                      [](std::int32_t v) {
                          switch (v) {
                              case 0:
                                  return report("Vector table is saved.");
                              case 1:
                                  return report("Vector table is programmed.");
                              default:
                                  return NotificationText{NotificationShows::nothing, {}};
                          }
                      }},
};

struct AbortEntry {
    std::int32_t code;
    AbortShows shows;
    const char* text;
};

constexpr std::array cABORTS{
    AbortEntry{cEX_PORT_NOT_READY, AbortShows::verdict, nullptr},  // names the port
    AbortEntry{cEX_PORT_IO, AbortShows::verdict,
               "Aborted because error when reading/writing to serial port!"},
    AbortEntry{cEX_CANCELLED, AbortShows::verdict, "Process cancelled!"},
    AbortEntry{cEX_NO_UPDATE, AbortShows::verdict,
               "Aborted because no update is available for this logger!"},
    AbortEntry{cEX_NOT_READY, AbortShows::verdict, "Aborted because the logger is not ready!"},
    AbortEntry{cEX_LAST_LINE, AbortShows::verdict, "Aborted because last line is wrong !"},
    AbortEntry{cEX_CONVERSION, AbortShows::messageOnly, "Aborted because conversion error!"},
    AbortEntry{cEX_PROG_REPEAT, AbortShows::repeatRun, "Repeat because programming error!"},
    AbortEntry{cEX_UPDATE_FAILED, AbortShows::verdict, "Update was not successfull!"},
    AbortEntry{cEX_INVALID_ANSWER, AbortShows::verdict,
               "Aborted because the logger transmitted an invalid answer!"},
    AbortEntry{cEX_UPDATE_ID, AbortShows::verdict,
               "There is no update available or the logger has another update ID!"},
    AbortEntry{cEX_INFO_ONLY, AbortShows::verdict, "Only read update info!"},
};

}  // namespace

NotificationText notificationText(std::uint32_t code, std::int32_t value) {
    return notificationText(code, value, getFirmwareHeader(ChosenImage.load()));
}

NotificationText notificationText(std::uint32_t code, std::int32_t value,
                                  const TBl3FileHeader& chosen) {
    if (code == cNT_UPDATE_START) {
        return reportAndStatus(imageText("Update", chosen));
    }
    for (const NotificationEntry& entry : cNOTIFICATIONS) {
        if (entry.code == code) {
            return entry.show(value);
        }
    }
    return {NotificationShows::nothing, {}};
}

AbortText abortText(std::int32_t code, const std::string& portField) {
    for (const AbortEntry& entry : cABORTS) {
        if (entry.code == code) {
            std::string text =
                entry.text ? entry.text
                           : "Aborted because serial port \"" + portField + "\" is not ready!";
            return {entry.shows, std::move(text), true};
        }
    }
    return {AbortShows::verdict, cTXT_FATAL, false};
}

std::string startText(const std::string& portField) {
    return "Start at serial port \"" + portField + "\"";
}

std::string progressText(std::int32_t percent) {
    return format("Progress %d%%", percent);
}

std::string titleText(int percent) {
    return format("%d%%", percent);
}

std::string finishedText(const TBl3FileHeader& h) {
    return format("Update %s V%d.%.2d succesfully completed.",
                  classToStr(h.orvo_class, h.orvo_print).c_str(), h.orvo_verH, h.orvo_verL);
}

std::string repeatsExhaustedText(int repeats) {
    return format("Aborted because of a communication error after %d repeats!", repeats);
}

std::string progRepeatsExhaustedText(int repeats) {
    return format("Aborted because of a programming error after %d repeats!", repeats);
}

std::string firmwareVersionText(const TBl3FileHeader& h) {
    return format("%d.%.2d", h.orvo_verH, h.orvo_verL);
}

std::string bootloaderText(const TBl3FileHeader& h) {
    return format("%d.%d", h.orvo_bl, h.orvo_bl_ver);
}

}  // namespace pelion
