#include "link/comm_thread.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "link/crc.h"
#include "link/eorvo.h"
#include "link/hex_record.h"
#include "link/link_timing.h"
#include "link/port_error.h"

namespace pelion {

TCommThreadClass WorkerClass = &makeWorker<TCommThread>;

namespace {

// Workers are never joined; this count lets the program end wait for the last one.
struct WorkerCount {
    std::mutex mutex;
    std::condition_variable changed;
    int running = 0;
};

WorkerCount& workerCount() {
    static auto* count = new WorkerCount;  // never destroyed: a late worker may still use it
    return *count;
}

void sleepMs(std::chrono::milliseconds ms) {
    std::this_thread::sleep_for(linkWait(ms));
}

// The packed reason to post before the abort of a port failure, when the port layer knows it.
std::optional<std::int32_t> portFailureOf(std::int32_t abortCode) {
    const PortError reason = lastPortError();
    if ((abortCode != cEX_PORT_NOT_READY && abortCode != cEX_PORT_IO) ||
        reason.failure == PortFailure::none) {
        return std::nullopt;
    }
    return packPortError(reason);
}

}  // namespace

TCommThread::TCommThread(RunContextPtr run, TCmd cmd, std::string sPort)
    : FRun(std::move(run)),
      FCmd(cmd),
      FhWindow(FRun ? FRun->hWindow : nullptr),
      FsPort(std::move(sPort)) {}

TCommThread::~TCommThread() = default;

void TCommThread::Create(TCommThreadClass workerClass, const RunContextPtr& run, TCmd cmd,
                         std::string sPort) {
    // A worker that cannot be built or whose thread cannot be started (no memory, the
    // system's thread limit) ends its run as any failed run ends: with one outcome posted,
    // so the front end becomes idle again and shows the failure.
    try {
        startWorker(workerClass(run, cmd, std::move(sPort)));
    } catch (...) {
        try {
            if (run && run->hWindow) {
                run->hWindow->post(cNT_ABORTED, 0);
            }
        } catch (...) {
            // A front end that cannot take the outcome cannot be told anything else either.
        }
    }
}

void TCommThread::startWorker(std::unique_ptr<TCommThread> worker) {
    WorkerCount& count = workerCount();
    const auto uncount = [&count] {
        {
            std::lock_guard lock(count.mutex);
            --count.running;
        }
        count.changed.notify_all();
    };
    {
        std::lock_guard lock(count.mutex);
        ++count.running;
    }
    try {
        std::thread([worker = std::move(worker), uncount]() mutable {
            worker->Execute();
            worker.reset();
            uncount();
        }).detach();
    } catch (...) {
        uncount();  // the worker was freed with the thread that never ran
        throw;
    }
}

bool TCommThread::waitForWorkers(std::chrono::milliseconds timeout) {
    WorkerCount& count = workerCount();
    std::unique_lock lock(count.mutex);
    return count.changed.wait_for(lock, timeout, [&] { return count.running == 0; });
}

void TCommThread::Execute() {
    clearPortError();
    try {
        FhPort = ComPortHandle(openComPort(FsPort, cLINK_BAUD));
        if (!FhPort.isOpen()) {
            throw EOrvo(cEX_PORT_NOT_READY);
        }
        try {
            resetProgress();
            for (int i = 0; i < 2; ++i) {
                sendCommand(false, cNULL_FRAME, 0, 0, 0, 0, 0, 0);
                sleepMs(cLINK_PAUSE);
            }
            runCommand();
        } catch (...) {
            closePort();
            throw;
        }
        closePort();
        post(cNT_FINISHED, FCmd);
    } catch (const EOrvo& e) {
        if (e.iException == cEX_RETRY) {
            post(cNT_RETRY, FCmd);
        } else {
            if (const auto reason = portFailureOf(e.iException)) {
                post(cNT_PORT_FAILURE, *reason);
            }
            post(cNT_ABORTED, e.iException);
        }
    } catch (...) {
        post(cNT_ABORTED, 0);
    }
}

void TCommThread::throwIfCancelled() const {
    if (FRun && FRun->bCancel.load()) {
        throw EOrvo(cEX_CANCELLED);
    }
}

void TCommThread::runCommand() {
    runUpdate();
}

bool TCommThread::sendCommand(bool bAnswer, std::uint8_t cmd, std::uint8_t p1, std::uint8_t p2,
                              std::uint8_t p3, std::uint8_t p4, std::uint8_t p5, std::uint8_t p6) {
    if (cmd == cNULL_FRAME) {
        std::fill_n(FTxBuffer.begin(), 8, 0);
    } else {
        FTxBuffer[0] = cmd | 0x80;
        FTxBuffer[1] = p1;
        FTxBuffer[2] = p2;
        FTxBuffer[3] = p3;
        FTxBuffer[4] = p4;
        FTxBuffer[5] = p5;
        FTxBuffer[6] = p6;
        FTxBuffer[7] = calcCRC8(FTxBuffer.data(), 7);
    }
    for (int attempt = 1;; ++attempt) {
        throwIfCancelled();
        if (exchangeOnce(bAnswer)) {
            return true;
        }
        if (attempt == cLINK_ATTEMPTS) {
            throw EOrvo(cEX_RETRY);
        }
        sleepMs(cLINK_PAUSE);
    }
}

void TCommThread::clearAndPurge() {
    if (!clearComError(FhPort.get())) {
        throw EOrvo(cEX_PORT_IO, "ClearCommError");
    }
    if (!purgeComPort(FhPort.get())) {
        throw EOrvo(cEX_PORT_IO, "PurgeComm");
    }
}

bool TCommThread::exchangeOnce(bool bAnswer) {
    clearAndPurge();
    std::uint32_t count = 0;
    if (!writeComPort(FhPort.get(), FTxBuffer.data(), 8, count)) {
        throw EOrvo(cEX_PORT_IO, "WriteFile");
    }
    if (count < 8) {
        return false;
    }
    if (!bAnswer) {
        return true;
    }
    if (!readComPort(FhPort.get(), FRxBuffer.data(), 8, count)) {
        throw EOrvo(cEX_PORT_IO, "ReadFile");
    }
    if (count < 8 || calcCRC8(FRxBuffer.data(), 7) != FRxBuffer[7]) {
        return false;
    }
    if (FRxBuffer[0] & 0x20) {
        throw EOrvo(cEX_NOT_READY, "ORVO Exception!");
    }
    return true;
}

bool TCommThread::sendLine(const std::string& sLine, std::uint8_t n, bool bRaise) {
    for (int attempt = 1;; ++attempt) {
        throwIfCancelled();
        if (lineOnce(sLine, n)) {
            return true;
        }
        if (attempt == cLINK_ATTEMPTS) {
            if (bRaise) {
                throw EOrvo(cEX_RETRY);
            }
            return false;
        }
        sleepMs(cLINK_PAUSE);
    }
}

bool TCommThread::lineOnce(const std::string& sLine, std::uint8_t n) {
    FRxCnt = 0;
    clearAndPurge();
    const std::uint32_t txCnt = sLine.size() % 256;  // a line frame's length is an 8-bit count
    std::uint32_t count = 0;
    if (!writeComPort(FhPort.get(), reinterpret_cast<const std::uint8_t*>(sLine.data()), txCnt,
                      count)) {
        throw EOrvo(cEX_PORT_IO, "WriteFile");
    }
    if (count != txCnt) {
        throw EOrvo(cEX_PORT_IO, "WriteFile <> txCnt");
    }
    if (n == 0) {
        return true;
    }
    const std::uint32_t rxCnt = (2u * n + 11) % 256;
    if (!readComPort(FhPort.get(), FRxBuffer.data(), rxCnt, count)) {
        throw EOrvo(cEX_PORT_IO, "ReadFile");
    }
    FRxCnt = static_cast<std::int32_t>(rxCnt);
    if (count < rxCnt) {
        return false;
    }
    // n + 5 pairs after the first character: 2n + 10 characters, always inside FRxBuffer.
    return hexLineSum(reinterpret_cast<const char*>(FRxBuffer.data()) + 1, n + 5) == 0;
}

void TCommThread::answerText(std::string& s) const {
    s.assign(reinterpret_cast<const char*>(FRxBuffer.data()), FRxCnt & 0xFF);
}

void TCommThread::setProgress(std::int32_t i, std::int32_t count) {
    std::int64_t percent = count == 0 ? 0 : std::int64_t{i} * 99 / count;
    percent = std::clamp<std::int64_t>(percent, 0, 99);
    if (percent != FnProgres) {
        FnProgres = static_cast<std::int32_t>(percent);
        post(cNT_PROGRESS, FnProgres);
    }
}

void TCommThread::resetProgress() {
    FnProgres = 0;
}

void TCommThread::closePort() {
    FhPort.close();
}

std::uint16_t TCommThread::calculateCRC16(std::uint16_t upid_id, std::uint16_t upid_info,
                                          std::uint16_t upid_platform, std::uint16_t upid_print,
                                          std::uint16_t upid_reserve) {
    const std::uint16_t words[] = {upid_id, upid_info, upid_platform, upid_print, upid_reserve};
    std::uint8_t bytes[10];
    for (int k = 0; k < 5; ++k) {
        bytes[2 * k] = static_cast<std::uint8_t>(words[k]);
        bytes[2 * k + 1] = static_cast<std::uint8_t>(words[k] >> 8);
    }
    return calcCRC16(bytes, sizeof bytes);
}

void TCommThread::post(std::uint32_t code, std::int32_t value) noexcept {
    try {
        if (FhWindow) {
            FhWindow->post(code, value);
        }
    } catch (...) {
        // A front end that cannot take a notification loses it; the run itself goes on.
    }
}

}  // namespace pelion
