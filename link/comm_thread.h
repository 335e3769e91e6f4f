// The link thread: one worker per run. It opens the port, wakes the logger with two null
// frames, runs its command, closes the port and posts exactly one outcome (cNT_FINISHED,
// cNT_ABORTED or cNT_RETRY). It speaks two kinds of exchange: the 8-byte command frame with its
// 8-byte answer, and the Intel-HEX line with its line answer; each is tried up to five times,
// 100 ms apart, and the cancel request is looked at before every attempt.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "link/notify.h"
#include "link/run_context.h"
#include "link/serial_port.h"

namespace pelion {

// The command of one run; every run of this updater uses tCMD0.
enum TCmd : std::uint8_t { tCMD0 = 0, tCMD1 = 1, tCMD2 = 2, tCMD_TEST = 3 };

inline constexpr std::uint32_t cLINK_BAUD = 9600;
inline constexpr int cLINK_ATTEMPTS = 5;
inline constexpr std::chrono::milliseconds cLINK_PAUSE{100};
inline constexpr std::uint8_t cNULL_FRAME = 0xFF;  // command code that sends the null frame

class TCommThread;
// How a front end creates workers without knowing the concrete device dialogue.
using TCommThreadClass = std::unique_ptr<TCommThread> (*)(RunContextPtr run, TCmd cmd,
                                                          std::string sPort);

template <class Worker>
std::unique_ptr<TCommThread> makeWorker(RunContextPtr run, TCmd cmd, std::string sPort) {
    return std::make_unique<Worker>(std::move(run), cmd, std::move(sPort));
}

class TCommThread {
public:
    // Everything the run reads comes with `run`; the worker keeps it until it is freed.
    TCommThread(RunContextPtr run, TCmd cmd, std::string sPort);
    virtual ~TCommThread();
    TCommThread(const TCommThread&) = delete;
    TCommThread& operator=(const TCommThread&) = delete;

    // Builds a worker of the given class and starts its run on a thread of its own. Nobody
    // owns the worker afterwards: it frees itself when the run ends. Never throws: a worker
    // that cannot be built or started posts cNT_ABORTED (0) to the run's target instead.
    static void Create(TCommThreadClass workerClass, const RunContextPtr& run, TCmd cmd,
                       std::string sPort);
    // For the end of the program: waits until no worker is left, at most `timeout`.
    // True when none is running.
    static bool waitForWorkers(std::chrono::milliseconds timeout);

    // The thread body: one whole run. Public so that a run can also be driven synchronously.
    void Execute();

protected:
    virtual void runUpdate() {}
    virtual void runCommand();

    // One command frame (or the null frame for cNULL_FRAME) and, with bAnswer, its answer in
    // FRxBuffer[0..7]. Returns True or raises EOrvo (20, 30, 11, 41).
    bool sendCommand(bool bAnswer, std::uint8_t cmd, std::uint8_t p1, std::uint8_t p2,
                     std::uint8_t p3, std::uint8_t p4, std::uint8_t p5, std::uint8_t p6);
    // One line frame and, for n > 0, its answer line of n data bytes (2n + 11 characters).
    // After five failed attempts: raises 30 with bRaise, else returns False.
    bool sendLine(const std::string& sLine, std::uint8_t n, bool bRaise);
    // The last line answer as text.
    void answerText(std::string& s) const;
    void setProgress(std::int32_t i, std::int32_t count);
    void resetProgress();
    void closePort();
    static std::uint16_t calculateCRC16(std::uint16_t upid_id, std::uint16_t upid_info,
                                        std::uint16_t upid_platform, std::uint16_t upid_print,
                                        std::uint16_t upid_reserve);
    // Posts a notification to the front end; never throws, never waits for the front end.
    void post(std::uint32_t code, std::int32_t value) noexcept;

    const RunContextPtr FRun;
    TCmd FCmd;
    std::array<std::uint8_t, 1501> FTxBuffer{};
    std::array<std::uint8_t, 1501> FRxBuffer{};
    std::int32_t FRxCnt = 0;
    NotificationTargetPtr FhWindow;
    std::string FsPort;
    ComPortHandle FhPort;
    std::int32_t FnProgres = 0;

private:
    // Counts the worker and runs it on a detached thread; throws when no thread can be had.
    static void startWorker(std::unique_ptr<TCommThread> worker);
    bool exchangeOnce(bool bAnswer);
    bool lineOnce(const std::string& sLine, std::uint8_t n);
    void clearAndPurge();
    void throwIfCancelled() const;
};

// The worker class of this program; set once at program entry.
extern TCommThreadClass WorkerClass;

}  // namespace pelion
