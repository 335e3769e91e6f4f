#include "cli/port_check.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <thread>

#include "app/latency_advice.h"
#include "app/notification_texts.h"
#include "app/port_failure_text.h"
#include "app/safe_text.h"
#include "cli/console.h"
#include "cli/port_services.h"
#include "cli/text_table.h"
#include "cli/updater.h"
#include "firmware/catalogue.h"
#include "firmware/naming.h"
#include "link/eorvo.h"
#include "link/port_details.h"
#include "link/port_error.h"
#include "update/logger_check.h"

namespace pelion::cli {

namespace {

constexpr std::chrono::milliseconds cINTERRUPT_POLL{50};

// How the look at the logger ended, from the worker's notifications.
struct LookOutcome {
    std::uint32_t code = cNT_ABORTED;
    std::int32_t value = 0;
    std::optional<std::int32_t> portFailure;
};

bool endsRun(std::uint32_t code) {
    return code == cNT_FINISHED || code == cNT_ABORTED || code == cNT_RETRY;
}

// The look runs on a worker thread of its own, so that Ctrl-C can cancel it at its next
// attempt and the port is closed with its settings put back.
LookOutcome lookAtLogger(const std::string& port, LoggerFindings& findings) {
    auto queue = std::make_shared<NotificationQueue>();
    auto run = std::make_shared<CheckContext>(queue, currentUpdateOptions());
    std::thread worker([run, port] { TLoggerCheck(run, port).Execute(); });
    LookOutcome outcome;
    for (bool ended = false; !ended;) {
        if (interruptFlag().load()) {
            run->bCancel.store(true);
        }
        const auto n = queue->takeFor(cINTERRUPT_POLL);
        if (!n) {
            continue;
        }
        if (n->code == cNT_PORT_FAILURE) {
            outcome.portFailure = n->value;
        }
        if (endsRun(n->code)) {
            outcome.code = n->code;
            outcome.value = n->value;
            ended = true;
        }
    }
    worker.join();
    findings = run->findings;
    return outcome;
}

std::string notPermittedText(std::int32_t failure, const std::string& devicePath) {
    const std::string group = deviceGroup(devicePath);
    if (group.empty()) {
        return portFailureText(failure);
    }
    return "Not permitted to open the port (" + osErrorText(unpackPortError(failure).osCode) +
           "). The port belongs to the group " + group + ": join it with sudo usermod -aG " +
           group + " $USER, then log out and in again.";
}

std::string heldText(std::int32_t failure, const std::string& devicePath) {
    const std::vector<std::string> programs = programsHolding(devicePath);
    if (programs.empty()) {
        return portFailureText(failure);
    }
    return "The port is held by " + joined(programs, ", ") + ". Close that program and try again.";
}

std::string portText(const LookOutcome& outcome, const ComPortDetails& details) {
    if (!outcome.portFailure) {
        return "The port does not open. Check the port name and try again.";
    }
    switch (unpackPortError(*outcome.portFailure).failure) {
        case PortFailure::notPermitted:
            return notPermittedText(*outcome.portFailure, details.devicePath);
        case PortFailure::heldElsewhere:
            return heldText(*outcome.portFailure, details.devicePath);
        default:
            return portFailureText(*outcome.portFailure);
    }
}

std::optional<CheckFinding> latencyFinding(const ComPortDetails& details) {
    if (!details.latencyTimerMs) {
        return std::nullopt;
    }
    if (*details.latencyTimerMs <= cLATENCY_HARMLESS_MS) {
        return CheckFinding{"latency", Weight::ok,
                            "The adapter's latency timer is " +
                                std::to_string(*details.latencyTimerMs) +
                                " ms: it does not slow an update down."};
    }
    return CheckFinding{"latency", updaterKeepsLatencyTimer() ? Weight::advice : Weight::ok,
                        latencyTimerText(details)};
}

std::string versionText(std::uint16_t version) {
    return std::to_string(version >> 8) + "." + std::to_string(version & 0xFF);
}

std::string loggerText(const LoggerFindings& found) {
    const IdentityAnswer& identity = *found.identity;
    const std::uint16_t print = found.bootloader ? found.bootloader->print : cCODE_NONE;
    std::string text = "A logger answers: class " + std::to_string(identity.cls) + " [" +
                       classToStr(identity.cls, print) + "], version " +
                       versionText(identity.version);
    if (found.serialNumber) {
        text += ", serial number " + std::to_string(*found.serialNumber);
    }
    if (found.bootloader) {
        text += ", running its bootloader; platform " + platformToStr(found.bootloader->platform) +
                ", print " + printToStr(found.bootloader->print);
    }
    return text + ".";
}

CheckFinding imageFinding(const LoggerFindings& found) {
    if (!found.bootloader) {
        return {"image", Weight::ok,
                "The image an update programs is chosen from the bootloader's identity, which "
                "the check does not start; the update reads it first."};
    }
    if (found.image < 0) {
        return {"image", Weight::problem,
                "No embedded firmware image fits this logger; an update would stop before "
                "programming anything."};
    }
    const TBl3FileHeader header = getFirmwareHeader(found.image);
    return {"image", Weight::ok,
            "An update would program image " + std::to_string(found.image) + " (V" +
                firmwareVersionText(header) + ")."};
}

std::string noLoggerText(const LookOutcome& outcome) {
    if (outcome.code == cNT_RETRY) {
        return "The port opens but no logger answers. Check that the logger is attached to this "
               "port and switched on.";
    }
    std::string text = abortText(outcome.value, "").text;
    if (outcome.portFailure) {
        text += " " + portFailureText(*outcome.portFailure);
    }
    return text;
}

void addLoggerFindings(PortCheck& check, const LookOutcome& outcome, const LoggerFindings& found) {
    if (outcome.code != cNT_FINISHED || !found.identity) {
        check.findings.push_back({"logger", Weight::problem, noLoggerText(outcome)});
        check.status = outcome.code == cNT_RETRY ? cEX_RETRY : outcome.value;
        return;
    }
    check.findings.push_back({"logger", Weight::ok, loggerText(found)});
    check.findings.push_back(imageFinding(found));
    if (found.bootloader && found.image < 0) {
        check.status = cEX_UPDATE_ID;
    }
}

bool hasProblem(const PortCheck& check) {
    for (const CheckFinding& f : check.findings) {
        if (f.weight == Weight::problem) {
            return true;
        }
    }
    return false;
}

std::string verdictOf(const PortCheck& check) {
    if (check.status == 0) {
        return "Ready for an update.";
    }
    if (check.status == cEXIT_CHECK_AT_RISK) {
        return "A logger answers, but a system service may break an update; see above.";
    }
    return "Not ready for an update; see above.";
}

}  // namespace

PortCheck checkPort(const std::string& port) {
    PortCheck check{port, {}, 0, ""};
    const ComPortDetails details = getComPortDetails(port);
    LoggerFindings found;
    const LookOutcome outcome = lookAtLogger(port, found);
    const bool opened = !(outcome.code == cNT_ABORTED && outcome.value == cEX_PORT_NOT_READY);
    check.findings.push_back({"port", opened ? Weight::ok : Weight::problem,
                              opened ? "The port opens." : portText(outcome, details)});
    if (const auto latency = latencyFinding(details)) {
        check.findings.push_back(*latency);
    }
    for (const ServiceFinding& service : servicesClaiming(details)) {
        check.findings.push_back({service.service, Weight::problem, service.text});
    }
    if (!opened) {
        check.status = cEX_PORT_NOT_READY;
    } else {
        addLoggerFindings(check, outcome, found);
    }
    if (check.status == cEXIT_OK && hasProblem(check)) {
        check.status = cEXIT_CHECK_AT_RISK;
    }
    check.verdict = verdictOf(check);
    return check;
}

namespace {

const char* weightName(Weight weight) {
    switch (weight) {
        case Weight::ok:
            return "ok";
        case Weight::advice:
            return "advice";
        case Weight::problem:
            return "problem";
    }
    return "problem";
}

void printLines(const PortCheck& check) {
    const std::string prefix = safeText(check.port) + ": ";
    for (const CheckFinding& f : check.findings) {
        std::printf("%s%s: %s\n", prefix.c_str(), weightName(f.weight), safeText(f.text).c_str());
    }
    std::printf("%s%s\n", prefix.c_str(), check.verdict.c_str());
}

void printJson(const PortCheck& check) {
    for (const CheckFinding& f : check.findings) {
        const nlohmann::json line{{"port", safeText(check.port)},
                                  {"finding", f.topic},
                                  {"weight", weightName(f.weight)},
                                  {"text", safeText(f.text)}};
        std::printf("%s\n",
                    line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    }
    const nlohmann::json verdict{{"port", safeText(check.port)},
                                 {"finding", "verdict"},
                                 {"text", check.verdict},
                                 {"exit", check.status}};
    std::printf("%s\n",
                verdict.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
}

}  // namespace

int runCheck(const std::vector<std::string>& ports, bool json) {
    catchInterrupt();
    int status = cEXIT_OK;
    for (const std::string& port : ports) {
        const PortCheck check = checkPort(port);
        json ? printJson(check) : printLines(check);
        std::fflush(stdout);
        if (status == cEXIT_OK) {
            status = check.status;
        }
        if (check.status == cEX_CANCELLED) {
            return cEX_CANCELLED;  // Ctrl-C ends the whole check
        }
    }
    return status;
}

}  // namespace pelion::cli
