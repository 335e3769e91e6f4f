#include "sim/sim_options.h"

#include <charconv>
#include <limits>
#include <string_view>

namespace pelion::sim {

namespace {

// Decimal, or hexadecimal after "0x".
template <typename T>
bool parseNumber(std::string_view text, T& value) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    const auto end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    return ec == std::errc{} && ptr == end && !text.empty();
}

struct BootloaderName {
    std::string_view name;
    std::uint16_t blClass;
};

constexpr BootloaderName cBOOTLOADERS[] = {{"bl", 0xC800}, {"bl2", 0xC801}, {"bl3", 0xC802}};

bool setBootloader(SimSettings& s, std::string_view value) {
    for (const auto& bl : cBOOTLOADERS) {
        if (value == bl.name) {
            s.config.blClass = bl.blClass;
            return true;
        }
    }
    return false;
}

// Either adapter option switches the model on; the other keeps the common chips' default.
bool setAdapterLatency(SimSettings& s, std::string_view value) {
    int ms = 0;
    if (!parseNumber(value, ms) || ms < 1 || ms > 255) {
        return false;
    }
    s.config.adapter = s.config.adapter.value_or(AdapterSettings{});
    s.config.adapter->latency = std::chrono::milliseconds(ms);
    return true;
}

bool setAdapterPacket(SimSettings& s, std::string_view value) {
    std::size_t bytes = 0;
    if (!parseNumber(value, bytes) || bytes < 1 || bytes > 4096) {
        return false;
    }
    s.config.adapter = s.config.adapter.value_or(AdapterSettings{});
    s.config.adapter->packetBytes = bytes;
    return true;
}

using Setter = bool (*)(SimSettings&, std::string_view);

struct Option {
    std::string_view name;
    std::string_view argument;  // empty for a switch
    std::string_view help;
    Setter set;
};

// clang-format off
const Option cOPTIONS[] = {
    {"--app-class", "N", "class the application answers with (0x6601)",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.appClass); }},
    {"--app-version", "N", "application version word (0x0602); below 0x0600: old jump form",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.appVersion); }},
    {"--serial", "N", "32-bit serial number (327980)",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.serialNumber); }},
    {"--start-in-bootloader", "", "come up in the bootloader, with no application in flash",
     [](SimSettings& s, std::string_view) { s.config.startInBootloader = true; return true; }},
    {"--bootloader", "bl|bl2|bl3", "bootloader generation (bl3)", setBootloader},
    {"--bl-class", "N", "bootloader class, in place of its generation's",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.blClass); }},
    {"--bl-version", "N", "bootloader version word (0x0000: BL3 3.0, 0x0001: BL2 2.1)",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.blVersion); }},
    {"--platform", "N", "platform code (24)",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.platform); }},
    {"--print", "N", "print code (49)",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.print); }},
    {"--info", "N", "info word of the platform answer (0)",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.info); }},
    {"--upid-id", "N", "update-ID block: class to be updated as (0x6601)",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.upidId); }},
    {"--upid-info", "N", "update-ID block: update information (0x001A)",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.upidInfo); }},
    {"--upid-platform", "N", "update-ID block: platform (24)",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.upidPlatform); }},
    {"--upid-print", "N", "update-ID block: print (49)",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.upidPrint); }},
    {"--upid-reserve", "N", "update-ID block: reserved word (0)",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.upidReserve); }},
    {"--upid-address", "N", "update-ID block byte address (default: the platform's)",
     [](SimSettings& s, std::string_view v) {
         std::uint32_t address = 0;
         if (!parseNumber(v, address)) {
             return false;
         }
         s.config.upidAddress = address;
         return true;
     }},
    {"--bad-upid-crc", "", "store the update-ID block with a wrong CRC",
     [](SimSettings& s, std::string_view) { s.config.upidCrcValid = false; return true; }},
    {"--booted-class", "N", "class of the programmed firmware once booted (0x6601)",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.config.bootedClass); }},
    {"--paced", "", "run the line at 9600 baud 8N1 in both directions",
     [](SimSettings& s, std::string_view) { s.config.paced = true; return true; }},
    {"--adapter-latency", "MS", "model a USB serial adapter with this latency timer (1-255; 16)",
     setAdapterLatency},
    {"--adapter-packet", "N", "model a USB serial adapter with N data bytes a packet (62)",
     setAdapterPacket},
    {"--mute", "K", "answer none of the next K frames",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.muteFrames); }},
    {"--corrupt", "K", "send the next K answers with a wrong checksum",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.corruptAnswers); }},
    {"--short", "K", "cut the next K answers short by their last byte",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.shortAnswers); }},
    {"--garble", "K", "send the next K answers as noise after their first byte",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.garbledAnswers); }},
    {"--not-ready", "", "answer frames carry the error status 0x20",
     [](SimSettings& s, std::string_view) { s.notReady = true; return true; }},
    {"--wrong-echo-at", "K", "echo data line K (0-based from programming start) wrongly, once",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.wrongEchoAt); }},
    {"--power-cut-at", "K", "lose power on data line K, once; SIGUSR1 restores it",
     [](SimSettings& s, std::string_view v) { return parseNumber(v, s.powerCutAt); }},
    {"--power-cut-at-jump", "", "lose power on the bootloader jump, once; SIGUSR1 restores it",
     [](SimSettings& s, std::string_view) { s.powerCutAtJump = true; return true; }},
    {"--expect-image", "FILE", "on exit, tell whether the flash equals this firmware file",
     [](SimSettings& s, std::string_view v) { s.expectImage = v; return !v.empty(); }},
    {"--stdin-stop", "", "also stop when standard input closes",
     [](SimSettings& s, std::string_view) { s.stdinStop = true; return true; }},
    {"--help", "", "show this text",
     [](SimSettings& s, std::string_view) { s.help = true; return true; }},
};
// clang-format on

}  // namespace

bool parseOptions(int argc, const char* const* argv, SimSettings& settings, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const Option* option = nullptr;
        for (const auto& o : cOPTIONS) {
            if (o.name == arg) {
                option = &o;
            }
        }
        if (option == nullptr) {
            error = "unknown option " + std::string(arg);
            return false;
        }
        std::string_view value;
        if (!option->argument.empty()) {
            if (++i == argc) {
                error = std::string(arg) + " needs a value (" + std::string(option->argument) + ")";
                return false;
            }
            value = argv[i];
        }
        if (!option->set(settings, value)) {
            error = "bad value '" + std::string(value) + "' for " + std::string(arg) +
                    " (numbers are decimal or 0x hex)";
            return false;
        }
    }
    return true;
}

std::string usageText() {
    std::string text =
        "Usage: pelion-sim [options]\n"
        "A simulated Pelion logger on a pseudo-terminal. The first line of output is the path\n"
        "of the port to open (at 9600 baud). Serves until SIGINT or SIGTERM; SIGUSR1 restores\n"
        "power after a power cut. Numbers are decimal or 0x hex.\n"
        "With --expect-image the exit prints one line, e.g.\n"
        "  flash equals image.txt: yes, 522 records written, vector table written last: yes\n"
        "and the exit status is 0 only when the flash equals the image.\n"
        "Answers reach the port byte by byte, unless an --adapter option asks for the model of\n"
        "a USB serial adapter: it sends what it received in USB packets, a packet when N data\n"
        "bytes wait or else when its latency timer runs out. The timer restarts with every\n"
        "packet, the empty ones of an idle adapter included, so packets leave on a grid one\n"
        "timer period apart and a byte waits for the next grid point; a full packet leaves at\n"
        "once and starts a new grid. Bytes to the logger go on the line at once.\n\nOptions:\n";
    for (const auto& o : cOPTIONS) {
        std::string left = "  ";
        left += o.name;
        if (!o.argument.empty()) {
            left += ' ';
            left += o.argument;
        }
        left.resize(std::max<std::size_t>(left.size() + 2, 28), ' ');
        text += left + std::string(o.help) + "\n";
    }
    return text;
}

void applyFaults(const SimSettings& settings, SimulatedLogger& logger) {
    logger.muteNextExchanges(settings.muteFrames);
    logger.corruptNextAnswers(settings.corruptAnswers);
    logger.shortNextAnswers(settings.shortAnswers);
    logger.garbleNextAnswers(settings.garbledAnswers);
    logger.setNotReady(settings.notReady);
    logger.wrongEchoAtDataLine(settings.wrongEchoAt);
    logger.powerCutAtDataLine(settings.powerCutAt);
    if (settings.powerCutAtJump) {
        logger.powerCutAtJump();
    }
}

}  // namespace pelion::sim
