#include "cli/updater.h"

#include <atomic>
#include <cstdio>
#include <iostream>

#include "pelion_version.h"

#include "app/internal_gate.h"
#include "app/notification_texts.h"
#include "app/options.h"
#include "app/run_control.h"
#include "app/safe_text.h"
#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/console_view.h"
#include "cli/event_loop.h"
#include "cli/exit_status.h"
#include "cli/firmware_table.h"
#include "cli/history_choice.h"
#include "cli/port_check.h"
#include "cli/port_table.h"
#include "cli/progress_line.h"
#include "cli/several_ports.h"
#include "cli/text_table.h"
#include "firmware/file_reader.h"
#include "link/comm_thread.h"
#include "link/eorvo.h"
#include "link/port_details.h"
#include "link/port_list.h"

namespace pelion::cli {

namespace {

constexpr std::chrono::seconds cWORKER_END_WAIT{5};
constexpr std::chrono::seconds cWORKER_CANCEL_WAIT{30};

// Messages name ports and files as given, so they are shown in their safe form.
int fail(int status, const std::string& message) {
    std::fprintf(stderr, "pelion-update: %s\n", safeText(message).c_str());
    return status;
}

// A feature that the current mode does not offer; nullptr when all asked for are offered.
const char* refusedFeature(const Arguments& a) {
    if (a.readInfoOnly && nInternalLevel < 1) {
        return "--read-info-only";
    }
    if (a.file && nInternalLevel < 2) {
        return "--file";
    }
    if (a.fileVersion && nInternalLevel < 2) {
        return "--file-version";
    }
    return nullptr;
}

int listPorts(bool forScripts) {
    const std::vector<ComPortDetails> ports = getComPortDetails();
    if (ports.empty()) {
        std::fprintf(stderr, "pelion-update: no logger port found\n");
        return cEXIT_OK;
    }
    std::fputs((forScripts ? portTabSeparated(ports) : portTable(ports)).c_str(), stdout);
    return cEXIT_OK;
}

int showFileVersion(const std::string& path) {
    TBl3FileHeader header;
    try {
        readFirmwareFileHeader(path, header);
    } catch (const FirmwareFileError& e) {
        return fail(cEXIT_USAGE, path + ", " + e.what());
    }
    std::vector<TBl3FileHeader> rows{header};
    for (const TBl3FileHeader& h : embeddedHeaders()) {
        rows.push_back(h);
    }
    std::fputs(firmwareTable(rows).c_str(), stdout);
    return cEXIT_OK;
}

// The ports the user named (each once), every logger port with --all, else the one logger port
// there is. Empty after a usage error.
std::vector<std::string> choosePorts(const Arguments& a) {
    for (std::size_t i = 0; i < a.ports.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (a.ports[i] == a.ports[j]) {
                fail(cEXIT_USAGE, "the port " + a.ports[i] + " is named twice");
                return {};
            }
        }
    }
    if (!a.ports.empty()) {
        return a.ports;
    }
    std::vector<std::string> ports;
    getComPortList(ports);
    if (a.allPorts) {
        if (ports.empty()) {
            fail(cEXIT_USAGE, "no logger port found; attach the loggers or name their ports");
        }
        return ports;
    }
    if (ports.size() == 1) {
        std::fprintf(stderr, "pelion-update: using %s, the only logger port found\n",
                     safeText(ports.front()).c_str());
        return ports;
    }
    if (ports.empty()) {
        fail(cEXIT_USAGE, "no logger port found; attach the logger or name its port with --port");
    } else {
        fail(cEXIT_USAGE, "several logger ports found (" + joined(ports, ", ") +
                              "); choose one with --port, or update them all with --all");
    }
    return {};
}

// The named ports, else every logger port found.
int checkPorts(const Arguments& a) {
    std::vector<std::string> ports = a.ports;
    if (ports.empty()) {
        getComPortList(ports);
    }
    if (ports.empty()) {
        return fail(cEX_PORT_NOT_READY,
                    "no logger port found; attach the logger, or name its port with --port");
    }
    return runCheck(ports, a.json);
}

// Asks the question on the terminal; only y or yes goes on.
bool askOnTerminal(const Question& q) {
    std::fprintf(stderr, "%s\n%s [y/N] ", q.line1, q.line2);
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
}

int runUpdate(const Arguments& a, const std::string& port) {
    EventLoop loop(interruptFlag());
    const bool terminal = stderrIsTerminal();
    ConsoleView view(loop, port, a.readInfoOnly,
                     terminal ? std::make_unique<ProgressLine>(stderr) : nullptr, terminal);
    RunControl control(view, loop.targetOf(0));
    control.setMaxRepeats(a.maxRepeats);
    control.setHistory(commandLineHistory(a.history));

    std::string reason;
    if (!control.PrepareRun(a.file.value_or(""), &reason)) {
        return fail(cEXIT_USAGE, "cannot program the firmware file " + *a.file + ": " + reason);
    }
    catchInterrupt();
    control.StartRun(tCMD0);
    runToOutcome(loop, control, view);
    return exitStatus(*view.outcome());
}

}  // namespace

void runToOutcome(EventLoop& loop, RunControl& control, const ConsoleView& view) {
    loop.run({
        .notification = [&](std::size_t,
                            const Notification& n) { control.handleNotification(n.code, n.value); },
        .interrupt = [&] { control.cancel(); },
        .finished = [&] { return view.outcome().has_value(); },
    });
    awaitWorkers([&] { control.cancel(); });
}

void awaitWorkers(const std::function<void()>& cancelAll) {
    if (!TCommThread::waitForWorkers(cWORKER_END_WAIT)) {
        cancelAll();
        TCommThread::waitForWorkers(cWORKER_CANCEL_WAIT);
    }
}

int runUpdater(const std::vector<std::string>& args) {
    keepRunningWhenOutputCloses();
    const Parsed parsed = parseArguments(args);
    if (!parsed.error.empty()) {
        fail(cEXIT_USAGE, parsed.error);
        std::fputs("Try 'pelion-update --help'.\n", stderr);
        return cEXIT_USAGE;
    }
    const Arguments& a = parsed.arguments;
    if (a.help) {
        std::fputs(helpText().c_str(), stdout);
        return cEXIT_OK;
    }
    if (a.version) {
        std::printf("pelion-update %s\n", PELION_VERSION_TEXT);
        return cEXIT_OK;
    }
    if (a.showHistory) {
        return showHistory(a.history, a.json);
    }
    std::string settingsProblem;
    const bool internal = IsInternal(&settingsProblem);
    if (!settingsProblem.empty()) {
        std::fprintf(stderr, "pelion-update: %s; it is not read, and internal mode stays off\n",
                     safeText(settingsProblem).c_str());
    }
    applyCommandLineOptions(a.elements, internal);
    if (const char* feature = refusedFeature(a)) {
        return fail(cEXIT_USAGE, std::string(feature) + " is not available in this mode");
    }
    if (a.listPorts || a.listFirmware || a.fileVersion) {
        int status = a.listPorts ? listPorts(a.tabSeparated) : cEXIT_OK;
        if (a.listFirmware) {
            std::fputs(firmwareTable(embeddedHeaders()).c_str(), stdout);
        }
        return a.fileVersion ? showFileVersion(*a.fileVersion) : status;
    }
    if (a.check) {
        return checkPorts(a);
    }
    const std::vector<std::string> ports = choosePorts(a);
    if (ports.empty()) {
        return cEXIT_USAGE;
    }
    // The firmware file is programmed without a question, as the File button does.
    const Question* question = a.file ? nullptr : updateQuestion();
    if (question && !a.yes) {
        if (!stdinIsTerminal()) {
            return fail(cEXIT_USAGE, std::string("the update asks \"") + question->line1 + " " +
                                         question->line2 +
                                         "\" and no terminal is there to answer it; give --yes "
                                         "to answer Yes");
        }
        if (!askOnTerminal(*question)) {
            return fail(cEX_CANCELLED, "nothing was done");
        }
    }
    if (ports.size() > 1 || a.allPorts || a.json) {
        return runSeveralPorts({ports, a.file, a.maxRepeats, a.readInfoOnly, a.json, a.history});
    }
    return runUpdate(a, ports.front());
}

}  // namespace pelion::cli
