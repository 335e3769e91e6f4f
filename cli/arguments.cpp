#include "cli/arguments.h"

#include <array>
#include <charconv>

#include "app/safe_text.h"

namespace pelion::cli {

namespace {

enum class Takes { nothing, value };

struct OptionSpec {
    const char* name;
    Takes takes;
    void (*apply)(Arguments&, const std::string& value);
};

// A limit of repeats: a count, or "unlimited" (none). Nothing for any other text.
std::optional<std::optional<int>> repeatLimit(const std::string& text) {
    if (text == "unlimited") {
        return std::optional<int>{};
    }
    int n = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (error != std::errc{} || end != text.data() + text.size() || n < 0) {
        return std::nullopt;
    }
    return n;
}

const std::array cOPTIONS{
    OptionSpec{"--port", Takes::value,
               [](Arguments& a, const std::string& v) { a.ports.push_back(v); }},
    OptionSpec{"--all", Takes::nothing,
               [](Arguments& a, const std::string&) { a.allPorts = true; }},
    OptionSpec{"--json", Takes::nothing, [](Arguments& a, const std::string&) { a.json = true; }},
    OptionSpec{"--file", Takes::value, [](Arguments& a, const std::string& v) { a.file = v; }},
    OptionSpec{"--file-version", Takes::value,
               [](Arguments& a, const std::string& v) { a.fileVersion = v; }},
    OptionSpec{"--max-repeats", Takes::value,
               [](Arguments& a, const std::string& v) {
                   a.maxRepeats = repeatLimit(v).value_or(a.maxRepeats);
               }},
    OptionSpec{"--list-ports", Takes::nothing,
               [](Arguments& a, const std::string&) { a.listPorts = true; }},
    OptionSpec{"--tab-separated", Takes::nothing,
               [](Arguments& a, const std::string&) { a.tabSeparated = true; }},
    OptionSpec{"--list-firmware", Takes::nothing,
               [](Arguments& a, const std::string&) { a.listFirmware = true; }},
    OptionSpec{"--check", Takes::nothing, [](Arguments& a, const std::string&) { a.check = true; }},
    OptionSpec{"--read-info-only", Takes::nothing,
               [](Arguments& a, const std::string&) { a.readInfoOnly = true; }},
    OptionSpec{"--yes", Takes::nothing, [](Arguments& a, const std::string&) { a.yes = true; }},
    OptionSpec{"-y", Takes::nothing, [](Arguments& a, const std::string&) { a.yes = true; }},
    OptionSpec{"--help", Takes::nothing, [](Arguments& a, const std::string&) { a.help = true; }},
    OptionSpec{"-h", Takes::nothing, [](Arguments& a, const std::string&) { a.help = true; }},
    OptionSpec{"--version", Takes::nothing,
               [](Arguments& a, const std::string&) { a.version = true; }},
    OptionSpec{"--history", Takes::nothing,
               [](Arguments& a, const std::string&) { a.showHistory = true; }},
    OptionSpec{"--history-file", Takes::value,
               [](Arguments& a, const std::string& v) { a.history.file = v; }},
    OptionSpec{"--no-history", Takes::nothing,
               [](Arguments& a, const std::string&) { a.history.off = true; }},
    OptionSpec{"--resume", Takes::nothing,
               [](Arguments& a, const std::string&) { a.history.resume = true; }},
};

// A port name travels into every report line and the verdict; one that a terminal would act
// on, or that would split a line, cannot be a serial port's name and is refused.
bool isShowablePortName(const std::string& name) {
    return safeText(name) == name;
}

const OptionSpec* findOption(const std::string& name) {
    for (const OptionSpec& option : cOPTIONS) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

Parsed parseArguments(const std::vector<std::string>& args) {
    Parsed parsed;
    Arguments& a = parsed.arguments;
    bool elementsOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (elementsOnly || !arg.starts_with('-')) {
            a.elements.push_back(arg);
            continue;
        }
        if (arg == "--") {
            elementsOnly = true;
            continue;
        }
        const auto eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const OptionSpec* option = findOption(name);
        if (!option) {
            parsed.error = "unknown option " + arg;
            return parsed;
        }
        std::string value;
        if (option->takes == Takes::value) {
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                parsed.error = name + " needs a value";
                return parsed;
            }
        } else if (eq != std::string::npos) {
            parsed.error = name + " takes no value";
            return parsed;
        }
        option->apply(a, value);
        if (name == "--max-repeats" && !repeatLimit(value)) {
            parsed.error =
                "--max-repeats needs a whole number of 0 or more, or \"unlimited\", "
                "not \"" +
                value + "\"";
            return parsed;
        }
    }
    if (a.allPorts && !a.ports.empty()) {
        parsed.error = "--all and --port exclude each other";
    }
    if (a.history.off && (a.showHistory || a.history.resume)) {
        parsed.error = std::string("--no-history and ") +
                       (a.showHistory ? "--history" : "--resume") + " exclude each other";
    }
    for (const std::string& port : a.ports) {
        if (!isShowablePortName(port)) {
            parsed.error = "the port name \"" + port +
                           "\" holds control characters or bytes that are not UTF-8; give "
                           "the name of the logger's serial port";
        }
    }
    return parsed;
}

std::string helpText() {
    return R"(usage: pelion-update [--port PORT]... [--all] [OPTIONS] [ELEMENT...]

Updates the firmware of a Pelion logger attached to a serial port: identifies the logger,
brings it into its bootloader, programs the embedded firmware image that fits it and checks
the logger afterwards. Each report line is written to standard output as
"hh-nn-ss -> text", the verdict last. On a terminal, standard error shows a progress bar
with the time left (one row per logger when several are updated at once).

Options:
  --port PORT        the logger's serial port (a name below /dev or a full path; COM3 on
                     Windows). Without it, the one logger port found is used; with none or
                     several found, the tool stops and lists them. Given more than
                     once, the loggers on all these ports are updated at once: each
                     report line starts with "PORT: ", and a table of port, logger,
                     image and verdict ends the output. Repeats are counted per logger.
  --all              update the loggers on every logger port found, at once, as with
                     several --port options.
  --json             write every event of every run as one JSON object per line on standard
                     output (time, port, code, name, value and the report text where there
                     is one) and, per logger, a last object with its verdict and exit
                     status; the report lines then go to standard error, prefixed with
                     their port.
  --yes, -y          answer Yes to the question asked before an update. Without a terminal
                     the tool refuses to start an update that asks a question unless --yes
                     is given.
  --max-repeats N    repeat a run after a communication error at most N times (1.5 s
                     apart), and after a programming error (a record the logger did not
                     echo correctly) at most N times, each counted on its own; then stop
                     with exit status 30 or 44. Default: 8, which ends an update on a
                     port without a logger within about half a minute. "unlimited"
                     repeats without limit, as the window does.
  --list-ports       list the logger ports found and exit: a table of each port with its
                     device path, USB vendor:product ID, manufacturer, product and serial
                     number where the device tells them ("-" where not).
  --tab-separated    with --list-ports: no heading, one line per port with nine fields
                     separated by tabs, an unknown one empty: port, device path, vendor ID,
                     product ID, manufacturer, product, serial number, latency timer (ms),
                     location.
  --check            look at each port (--port; without it, every logger port found) and
                     exit: one line per finding, each with what to do (does the port open,
                     or who holds it; the adapter's latency timer; on Linux ModemManager
                     or brltty taking the adapter away; which logger answers, and the
                     image an update would choose where that is known without the
                     bootloader), then a verdict. Nothing in the logger is changed. With
                     --json the findings are JSON lines. Exit status: 0 ready, 3 a logger
                     answers but a system service may break an update, 10 the port does
                     not open, 30 no logger answers (else the abort code that stopped it).
  --list-firmware    list the embedded firmware images, newest first, and exit.
  --read-info-only   identify the logger and choose the image, but program nothing
                     (internal mode only; ends with "Only read update info!", exit 70).
  --file PATH        program this firmware file instead of the embedded images (internal
                     mode started with the element f:+ only). A file that cannot be read
                     stops the tool before any port is opened, naming the wrong line.
  --file-version PATH
                     show the header of a firmware file with the embedded images and exit
                     (internal mode started with the element f:+ only).
  --history          print the update history as a table (newest last, one row per run:
                     time, port, logger, image, verdict) and exit; with --json, its
                     records as JSON lines.
  --history-file FILE
                     read or write this history file instead of the user's own
                     ($XDG_STATE_HOME/pelion-update/history.jsonl, by default
                     ~/.local/state/pelion-update/history.jsonl), a production line's
                     shared file, say.
  --no-history       write no history record for this update.
  --resume           a logger found in its bootloader after an update that was interrupted
                     on the same adapter: use the serial number and version recorded by
                     that update for the image choice (a pinned logger keeps its 5.136).
                     Without it the tool says what it would change.
  --help, -h         show this text and exit.
  --version          show the program's version and exit.
  --                 everything after it is an ELEMENT.

Elements (each one word, the name, its colon and the value, with no blank between):
  mf:+  mf:-         the question before an update warns that the update clears all
                     measurements (mf:+) or not (mf:-).
  cc:-               the image choice ignores the device class      (internal mode only)
  cf:-               loggers of other classes are not refused       (internal mode only)
  cp:-               the image choice ignores the platform          (internal mode only)
  f:+                enables --file and --file-version              (internal mode only)
  Names ignore case; only a value of exactly "-" or "+" acts; the first element of a name
  wins; other elements have no effect.

Before an update the tool asks "Do you save your measurements ?" (or, with mf:+, "This
update clears all measurements!"); internal mode asks only the latter. The answer is read
from the terminal, y for Yes; anything else, or just Enter, is No.

Ctrl-C cancels a run (every run, with several ports): the logger is left at its next
frame, the port is closed and the tool ends with "Process cancelled!". SIGTERM and SIGHUP
do the same. A reader of standard output that stops early ends the output, not the update.

Exit status:
  0      the update was completed
  10-70  the run was aborted; the status is the abort code:
         10 port not ready, 11 port read/write error, 20 cancelled (also when the question
         was answered No, and when Ctrl-C came as the repeats ran out), 40 no update for
         this logger, 41 logger not ready, 42 last line wrong, 43 conversion error, 45
         update not successful, 46 invalid answer, 47 no update or another update ID, 70
         only read update info
  1      a fatal error ("Fatal Exception has occurred!")
  2      a usage error: an unknown option, a feature not available in this mode, no or
         several ports, a firmware file that cannot be read, a question without a terminal
  30     the run was repeated --max-repeats times (8 by default) after communication
         errors
  44     the run was repeated --max-repeats times (8 by default) after programming errors
With several ports: 0 when every logger was updated, otherwise the status of the first
port, in the order given, whose run did not succeed.

Every update is recorded in the history, twice: before the first record goes to the
logger (state "programming") and with its verdict when it ends. A history that cannot be
written costs one report line, never the update; a record cut by a crash is skipped with a
word when read. The file is renamed to FILE.1 at 4 MiB and a new one begun.
)";
}

}  // namespace pelion::cli
