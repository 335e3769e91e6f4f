#include "cli/several_ports.h"

#include <atomic>
#include <cstdio>
#include <memory>

#include "app/notification_texts.h"
#include "app/run_control.h"
#include "app/safe_text.h"
#include "cli/console.h"
#include "cli/console_view.h"
#include "cli/event_loop.h"
#include "cli/exit_status.h"
#include "cli/json_events.h"
#include "cli/progress_board.h"
#include "cli/text_table.h"
#include "cli/updater.h"
#include "link/comm_thread.h"

namespace pelion::cli {

namespace {

// One port's run with what the summary shows of it.
struct PortRun {
    PortRun(EventLoop& loop, std::size_t index, const std::string& port, bool readInfoOnly,
            bool json, std::unique_ptr<ProgressDisplay> progress)
        : view(loop, port, readInfoOnly, std::move(progress), false, port + ": "),
          control(view, loop.targetOf(index)),
          json(json) {
        control.setPublishesChosenImage(false);
        if (json) {
            view.setReportStream(stderr);
        }
    }

    RunSummary summary() const {
        return {control.port(), identityText(), imageText(),
                view.result().empty() ? "-" : view.result(), exitStatus(*view.outcome())};
    }

    // The logger's identity as its first identity answer told it.
    void note(const Notification& n) {
        if ((n.code == cNT_CLASS || n.code == cNT_VERSION) && identity.size() < 2) {
            identity.push_back(notificationText(n.code, n.value).text);
        }
    }

    std::string identityText() const { return identity.empty() ? "-" : joined(identity, ", "); }

    std::string imageText() const {
        const int image = control.chosenImage();
        if (image < 0) {
            return "-";
        }
        const TBl3FileHeader header = getFirmwareHeader(image);
        return (image == 0 ? "file" : "image " + std::to_string(image)) + " (V" +
               firmwareVersionText(header) + ")";
    }

    // With JSON events: the report lines shown since the last event, as an event of their own.
    void emitReported() {
        const std::vector<std::string> reported = view.takeReported();
        if (json && !reported.empty()) {
            std::printf("%s\n", reportJson(control.port(), reported).c_str());
            std::fflush(stdout);
        }
    }

    ConsoleView view;
    RunControl control;
    bool json;
    std::vector<std::string> identity;
};

std::string summaryTable(const std::vector<std::unique_ptr<PortRun>>& runs) {
    std::vector<TextRow> rows{{"PORT", "LOGGER", "IMAGE", "VERDICT"}};
    for (const auto& run : runs) {
        const RunSummary s = run->summary();
        rows.push_back({s.port, s.logger, s.image, s.verdict});
    }
    return alignedTable(rows);
}

// One progress row per logger when standard error is a terminal that can take them all below
// the report lines; none with JSON events.
std::unique_ptr<ProgressBoard> progressBoardFor(const SeveralPortsRun& request) {
    const auto size = stderrTerminalSize();
    if (request.json || !size || static_cast<std::size_t>(size->rows) <= request.ports.size() ||
        !enableCursorControl()) {
        return nullptr;
    }
    return std::make_unique<ProgressBoard>(stderr, request.ports, size->columns);
}

}  // namespace

int runSeveralPorts(const SeveralPortsRun& request) {
    EventLoop loop(interruptFlag());
    const std::unique_ptr<ProgressBoard> board = progressBoardFor(request);
    std::vector<std::unique_ptr<PortRun>> runs;
    for (std::size_t i = 0; i < request.ports.size(); ++i) {
        runs.push_back(std::make_unique<PortRun>(loop, i, request.ports[i], request.readInfoOnly,
                                                 request.json, board ? board->row(i) : nullptr));
        runs.back()->control.setMaxRepeats(request.maxRepeats);
        runs.back()->control.setHistory(commandLineHistory(request.history));
        std::string reason;
        if (!runs.back()->control.PrepareRun(request.file.value_or(""), &reason)) {
            std::fprintf(stderr, "pelion-update: cannot program the firmware file %s: %s\n",
                         safeText(*request.file).c_str(), safeText(reason).c_str());
            return cEXIT_USAGE;
        }
    }
    catchInterrupt();
    for (const auto& run : runs) {
        run->control.StartRun(tCMD0);
        run->emitReported();
    }
    const auto allEnded = [&] {
        for (const auto& run : runs) {
            if (!run->view.outcome()) {
                return false;
            }
        }
        return true;
    };
    const auto cancelAll = [&] {
        for (const auto& run : runs) {
            run->control.cancel();
        }
    };
    loop.run({
        .notification =
            [&](std::size_t index, const Notification& n) {
                PortRun& run = *runs[index];
                run.emitReported();
                run.note(n);
                run.control.handleNotification(n.code, n.value);
                const std::vector<std::string> reported = run.view.takeReported();
                if (request.json) {
                    std::printf("%s\n", notificationJson(run.control.port(), n, reported).c_str());
                    std::fflush(stdout);
                }
            },
        .interrupt = cancelAll,
        .finished = allEnded,
    });
    awaitWorkers(cancelAll);
    if (board) {
        board->close();
    }
    if (request.json) {
        for (const auto& run : runs) {
            std::printf("%s\n", endJson(run->summary()).c_str());
        }
    } else {
        std::fputs(summaryTable(runs).c_str(), stdout);
    }
    std::fflush(stdout);
    for (const auto& run : runs) {
        if (const int status = exitStatus(*run->view.outcome()); status != cEXIT_OK) {
            return status;
        }
    }
    return cEXIT_OK;
}

}  // namespace pelion::cli
