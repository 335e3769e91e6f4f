#include "tests/long_use/logger_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "app/notification_texts.h"
#include "link/comm_thread.h"
#include "link/eorvo.h"
#include "link/link_timing.h"
#include "reliability/logger_setups.h"

namespace pelion::test {

namespace {

constexpr std::uint16_t cFOREIGN_CLASS = 0x1234;
constexpr int cWRONG_ECHO_LINE = 10;

// Every image on a clean line, each kind of trouble on a logger of another generation.
constexpr LoggerCase cSCHEDULE[] = {
    {1, Trouble::none},         {2, Trouble::none},
    {3, Trouble::none},         {4, Trouble::none},
    {5, Trouble::none},         {6, Trouble::none},
    {7, Trouble::none},         {8, Trouble::none},
    {9, Trouble::none},         {10, Trouble::none},
    {11, Trouble::none},        {8, Trouble::inBootloader},
    {11, Trouble::muted},       {6, Trouble::wrongEcho},
    {2, Trouble::foreignClass}, {5, Trouble::wrongBootedClass},
};

struct TroubleName {
    Trouble trouble;
    const char* name;
};

constexpr TroubleName cTROUBLE_NAMES[] = {
    {Trouble::none, "clean line"},
    {Trouble::inBootloader, "in its bootloader"},
    {Trouble::muted, "muted, repeated"},
    {Trouble::wrongEcho, "wrong echo, repeated"},
    {Trouble::foreignClass, "foreign class"},
    {Trouble::wrongBootedClass, "wrong class after programming"},
};

const reliability::LoggerSetup& setupOf(const LoggerCase& c) {
    return reliability::loggerSetups()[static_cast<std::size_t>(c.image - 1)];
}

}  // namespace

LoggerCase loggerCase(std::size_t run) {
    return cSCHEDULE[run % std::size(cSCHEDULE)];
}

std::string describe(const LoggerCase& c) {
    const auto* entry = std::find_if(std::begin(cTROUBLE_NAMES), std::end(cTROUBLE_NAMES),
                                     [&c](const TroubleName& t) { return t.trouble == c.trouble; });
    return "image " + std::to_string(c.image) + ", " + entry->name;
}

std::unique_ptr<sim::SimulatedLogger> loggerFor(const LoggerCase& c) {
    sim::LoggerConfig config = setupOf(c).config;
    config.resyncGap = std::max(linkWait(config.resyncGap), std::chrono::milliseconds(5));
    config.startInBootloader = c.trouble == Trouble::inBootloader;
    if (c.trouble == Trouble::foreignClass) {
        config.appClass = cFOREIGN_CLASS;
    }
    if (c.trouble == Trouble::wrongBootedClass) {
        config.bootedClass = cFOREIGN_CLASS;
    }
    auto logger = std::make_unique<sim::SimulatedLogger>(config);
    if (c.trouble == Trouble::muted) {
        logger->muteNextExchanges(cLINK_ATTEMPTS);
    }
    if (c.trouble == Trouble::wrongEcho) {
        logger->wrongEchoAtDataLine(cWRONG_ECHO_LINE);
    }
    return logger;
}

Expected expectedOf(const LoggerCase& c) {
    switch (c.trouble) {
        case Trouble::foreignClass:
            return {abortText(cEX_NO_UPDATE, {}).text, -1, 0, cEX_NO_UPDATE};
        case Trouble::wrongBootedClass:
            return {abortText(cEX_UPDATE_FAILED, {}).text, -1, 0, cEX_UPDATE_FAILED};
        default:
            break;
    }
    const int image = c.trouble == Trouble::inBootloader ? setupOf(c).imageFromBootloader : c.image;
    const bool repeats = c.trouble == Trouble::muted || c.trouble == Trouble::wrongEcho;
    return {finishedText(getFirmwareHeader(image)), image, repeats ? 1 : 0, 0};
}

std::size_t runCount(const char* name, std::size_t fallback) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return fallback;
    }
    const std::string_view text(value);
    std::size_t count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (error != std::errc{} || end != text.data() + text.size()) {
        ADD_FAILURE() << name << "=" << text << " is no count of runs; give a whole number";
        return 0;
    }
    return count;
}

}  // namespace pelion::test
